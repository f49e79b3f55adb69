// SPDX-License-Identifier: MIT
// zarn-trace under node reads and writes the real file system (NODERAWFS).
// Three things of it differ from a native program and are mended here, once
// the file system is up and before the tool starts.
Module['onRuntimeInitialized'] = function () {
  // A file opened without blocking must be opened so: the game opens its
  // pack and best score that way, so that a pipe under their names does not
  // hang it. Emscripten drops the flag; it is put back.
  var O_NONBLOCK = 2048; // the C library's; a pre-js is not preprocessed
  var flagsForNode = NODEFS.flagsForNode;
  NODEFS.flagsForNode = function (flags) {
    return flagsForNode(flags & ~O_NONBLOCK) | (flags & O_NONBLOCK ? fs.constants.O_NONBLOCK : 0);
  };
  if (!fs.fstatSync(0).isFile()) FS.streams[0] = scriptPipe();
  // A write into a pipe whose reader has gone ends the native tool by
  // SIGPIPE (`zarn-trace script | head` stops at once). Node ignores the
  // signal, so the write only fails and the tool would play on unread.
  var writeSync = fs.writeSync;
  fs.writeSync = function () {
    try {
      return writeSync.apply(fs, arguments);
    } catch (e) {
      if (e.code === 'EPIPE') endByBrokenPipe();
      throw e;
    }
  };
};

// Node's own signal handling let go of, SIGPIPE is the system's default
// again, and the process ends by it as the native one does: nothing said,
// status 141 in a shell. Should it live on, it ends with that status.
function endByBrokenPipe() {
  var listener = function () {};
  process.on('SIGPIPE', listener);
  process.removeListener('SIGPIPE', listener);
  process.kill(process.pid, 'SIGPIPE');
  process.exit(141);
}

// Standard input as a pipe, with a poll that tells whether a line is
// waiting: the tool prints a pass's state first only when nothing waits. The
// pipe is opened a second time without blocking, and what a poll finds is
// kept for the next read; a read waits for the writer, as the native tool's
// does. Where the pipe can't be opened again (it belongs to another user),
// node's own stream makes standard input itself non-blocking.
var POLLIN = 1;

function scriptPipe() {
  var kept = [], ended = false, peek, pause = new Int32Array(new SharedArrayBuffer(4));
  try {
    peek = fs.openSync('/proc/self/fd/0', fs.constants.O_RDONLY | fs.constants.O_NONBLOCK);
  } catch (e) {
    void process.stdin; // making node's stream sets fd 0 non-blocking: a poll must not wait
    peek = 0;
  }
  function readFrom(fd, buffer, offset, length) {
    try {
      return fs.readSync(fd, buffer, offset, length, null);
    } catch (e) {
      if (e.code !== 'EAGAIN') throw e;
      return -1;
    }
  }
  return {
    fd: 0, nfd: 0, position: 0, path: '', flags: 0, seekable: false,
    node: { mode: 4096 }, // S_IFIFO
    stream_ops: {
      poll: function () {
        if (!kept.length && !ended) {
          var chunk = Buffer.alloc(4096), n = readFrom(peek, chunk, 0, chunk.length);
          if (n === 0) ended = true;
          if (n > 0) kept.push(chunk.subarray(0, n));
        }
        return kept.length || ended ? POLLIN : 0;
      },
      read: function (stream, buffer, offset, length) {
        if (kept.length) {
          var n = Math.min(length, kept[0].length);
          buffer.set(kept[0].subarray(0, n), offset);
          kept[0] = kept[0].subarray(n);
          if (!kept[0].length) kept.shift();
          return n;
        }
        if (ended) return 0;
        var into = Buffer.from(buffer.buffer, buffer.byteOffset, buffer.byteLength);
        for (;;) {
          // Standard input may be non-blocking (above, or by whoever opened it).
          var got = readFrom(0, into, offset, length);
          if (got >= 0) return got;
          Atomics.wait(pause, 0, 0, 1);
        }
      },
    },
  };
}
