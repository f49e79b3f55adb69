// SPDX-License-Identifier: MIT
// A js-library for zarn-trace under node. The C library's poll() asks each
// stream's own poll, which only the library's in-memory files have; the
// trace's script is a real file or a pipe of the real file system. A file is
// always ready, as the system's own poll says; the pipe of standard input
// gets a poll of its own from trace_pre.js.
mergeInto(LibraryManager.library, {
  __syscall_poll__deps: ['$FS'],
  __syscall_poll: function (fds, nfds, timeout) {
    var ready = 0;
    for (var i = 0; i < nfds; i++) {
      var at = fds + {{{ C_STRUCTS.pollfd.__size__ }}} * i;
      var fd = {{{ makeGetValue('at', C_STRUCTS.pollfd.fd, 'i32') }}};
      var events = {{{ makeGetValue('at', C_STRUCTS.pollfd.events, 'i16') }}};
      var stream = FS.getStream(fd);
      var mask = {{{ cDefine('POLLNVAL') }}};
      if (stream) {
        mask = stream.stream_ops && stream.stream_ops.poll ? stream.stream_ops.poll(stream)
                                                           : {{{ cDefine('POLLIN') }}} | {{{ cDefine('POLLOUT') }}};
      }
      mask &= events | {{{ cDefine('POLLERR') }}} | {{{ cDefine('POLLHUP') }}};
      if (mask) ready++;
      {{{ makeSetValue('at', C_STRUCTS.pollfd.revents, 'mask', 'i16') }}};
    }
    return ready;
  },
});
