// SPDX-License-Identifier: MIT
// The sound's last step, where the browser plays it: the program's blocks,
// queued, taken into the two channels. The page runs this file before its
// own code (audio.js, for a browser without audio worklets) and loads it as
// its audio worklet, where it registers the player: in the zip from beside
// the page, in zarn.html from the copy of its text the page holds.
// A block is the two channels' samples, or a count of silent frames. It runs
// 344 times a second on the audio thread: it copies in plain loops, with no
// views made, so that it leaves nothing for the collector there.
function soundDrain(queue, left, right) {
  var i = 0;
  while (i < left.length && queue.blocks.length) {
    var block = queue.blocks[0], silent = typeof block === 'number', at = queue.at;
    var length = silent ? block : block[0].length, n = Math.min(left.length - i, length - at);
    if (silent) {
      for (var k = 0; k < n; k++, i++) left[i] = right[i] = 0;
      at += n;
    } else {
      for (var from = block[0], from2 = block[1], end = at + n; at < end; i++, at++) {
        left[i] = from[at];
        right[i] = from2[at];
      }
    }
    queue.at = at;
    if (at === length) {
      queue.blocks.shift();
      queue.at = 0;
    }
  }
  for (; i < left.length; i++) left[i] = right[i] = 0;
}

if (typeof registerProcessor === 'function') {
  registerProcessor('zarn-sound', class extends AudioWorkletProcessor {
    constructor() {
      super();
      this.queue = { blocks: [], at: 0 };
      this.port.onmessage = (e) => this.queue.blocks.push(e.data);
    }
    process(inputs, outputs) {
      soundDrain(this.queue, outputs[0][0], outputs[0][1]);
      return true;
    }
  });
}
