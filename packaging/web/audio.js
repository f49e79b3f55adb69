// SPDX-License-Identifier: MIT
// The sound's way out of the page: Web Audio started at the user's first
// key, click or tap (keys.js, touch.js), and the program's calls that hand
// it the mixer's blocks (Page.offerSound, soundWanted, soundBlock). The
// player itself is sound.js, which runs on the audio thread and so must
// hold nothing of the page's. It fills the page's shared state and its
// calls (Page, page.js).
(function (page, shared) {
  // The library's mixer makes the sound in the program; here it is played.
  // It is handed over in blocks, queued where the browser plays it, and the
  // program keeps the queue lead seconds ahead of what the browser has
  // taken: its own buffer's worth (which it takes at once) and MARGIN more,
  // for the program's passes that come late.
  var AudioType = window.AudioContext || window.webkitAudioContext;
  var audio = null, out = null, made = 0, rate = 0, lead = 0, MARGIN = 0.05;

  // A browser lets a page sound only after a key or a click.
  function startSound() {
    if (audio) {
      if (audio.state === 'suspended') audio.resume();
      return;
    }
    if (!rate) return;
    // Buffers for playback rather than for the least delay: the browser's
    // audio threads wake some 40 times a second instead of 100, a third of
    // the page's CPU in play, and a key's sound still follows it within
    // about 150 ms (the queue's lead and the browser's output delay).
    audio = new AudioType({ sampleRate: rate, latencyHint: 'playback' });
    lead = (audio.baseLatency || 0.02) + MARGIN;
    if (audio.audioWorklet) {
      // The worklet is sound.js: beside the page in the zip, where a strict
      // Content-Security-Policy refuses a data: address, and in zarn.html a
      // copy of its text, since a page from disk has no origin for a file
      // or a blob: of its own.
      var worklet = typeof zarnWorklet === 'string'
        ? 'data:text/javascript,' + encodeURIComponent(zarnWorklet) : 'sound.js';
      audio.audioWorklet.addModule(worklet).then(function () {
        var node = new AudioWorkletNode(audio, 'zarn-sound', { outputChannelCount: [2] });
        node.connect(audio.destination);
        out = function (block) {
          node.port.postMessage(block, typeof block === 'number' ? [] : [block[0].buffer, block[1].buffer]);
        };
      });
    } else {
      // Where worklets are not offered (a page served without https).
      var queue = { blocks: [], at: 0 }, node = audio.createScriptProcessor(2048, 0, 2);
      lead = 2048 / rate + MARGIN; // the node takes that much at once
      node.onaudioprocess = function (e) {
        soundDrain(queue, e.outputBuffer.getChannelData(0), e.outputBuffer.getChannelData(1));
      };
      node.connect(audio.destination);
      out = function (block) { queue.blocks.push(block); };
    }
    audio.resume();
  }

  shared.startSound = startSound;
  // The program mixes at this rate where the browser has Web Audio.
  page.offerSound = function (mixRate) {
    rate = AudioType ? mixRate : 0;
    return !!rate;
  };
  // The frames of sound wanted now to keep the queue lead seconds ahead.
  page.soundWanted = function () {
    if (!out || audio.state !== 'running') return 0;
    var heard = Math.floor(audio.currentTime * rate), ahead = made - heard;
    if (ahead < 0) made = heard; // the page stalled: start again from now
    return Math.max(0, heard + Math.round(lead * rate) - made);
  };
  // Interleaved signed 16-bit stereo, handed on as one block of two
  // channels; silence (pointer 0) as its count of frames.
  page.soundBlock = function (pointer, frames) {
    made += frames;
    if (!pointer) return out(frames);
    var samples = HEAP16.subarray(pointer >> 1, (pointer >> 1) + 2 * frames);
    var left = new Float32Array(frames), right = new Float32Array(frames);
    for (var i = 0, j = 0; i < frames; i++, j += 2) {
      left[i] = samples[j] / 32768;
      right[i] = samples[j + 1] / 32768;
    }
    out([left, right]);
  };
})(Page, Page.shared);
