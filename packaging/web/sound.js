// SPDX-License-Identifier: MIT
// The sound's last step, where the browser plays it: the program's blocks,
// queued, taken into the two channels. The page runs this file before its
// own code (page.js, for a browser without audio worklets) and loads it as
// its audio worklet, where it registers the player: in the zip from beside
// the page, in zarn.html from the copy of its text the page holds.
function soundDrain(queue, left, right) {
  var i = 0;
  while (i < left.length && queue.blocks.length) {
    var block = queue.blocks[0], n = Math.min(left.length - i, block[0].length - queue.at);
    left.set(block[0].subarray(queue.at, queue.at + n), i);
    right.set(block[1].subarray(queue.at, queue.at + n), i);
    i += n;
    queue.at += n;
    if (queue.at === block[0].length) {
      queue.blocks.shift();
      queue.at = 0;
    }
  }
  left.fill(0, i);
  right.fill(0, i);
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
