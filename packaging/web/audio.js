// SPDX-License-Identifier: MIT
// The sound's way out of the page: Web Audio started at the user's first
// key, click or tap (keys.js, touch.js), and the program's calls that hand
// it the mixer's blocks (Page.offerSound, soundWanted, soundBlock). It fills
// the page's shared state and its calls (Page, page.js).
(function (page, shared) {
  // The library's mixer makes the sound in the program; here it is played.
  // It is handed over in blocks, each a buffer the browser plays at its
  // place in time, one after the other with no gap, and the program keeps
  // them lead seconds ahead of what the browser has taken: its own buffer's
  // worth (which it takes at once) and MARGIN more, for the program's passes
  // that come late. The browser mixes the blocks itself, with no script on
  // its audio thread: a player of our own there (an audio worklet) cost the
  // page half as much again as the rest of its sound.
  var AudioType = window.AudioContext || window.webkitAudioContext;
  var audio = null, made = 0, rate = 0, lead = 0, MARGIN = 0.05;
  // Buffers played out, by their length in frames, to be filled again.
  // With a new one for every block and the page's CPU slowed four times,
  // the page now and then stalled past the tick clock's catch-up (a tenth
  // of a second) and the game lost ticks: 49.6 to 49.8 a second for 50 in
  // four runs, 50.00 with the buffers reused. The lengths are few: whole
  // blocks of the mixer's.
  var spare = {};

  // A browser lets a page sound only after a key or a click.
  function startSound() {
    if (audio) {
      if (audio.state === 'suspended') audio.resume();
      return;
    }
    if (!rate) return;
    // Buffers for playback rather than for the least delay: the browser's
    // audio threads wake some 40 times a second instead of 100, and a key's
    // sound still follows it within about 150 ms (the queue's lead and the
    // browser's output delay).
    audio = new AudioType({ sampleRate: rate, latencyHint: 'playback' });
    lead = (audio.baseLatency || 0.02) + MARGIN;
    audio.resume();
  }

  // A buffer of n frames to fill: one played out, or a new one.
  function bufferOf(n) {
    var kept = spare[n] || (spare[n] = []);
    return kept.length ? kept.pop() : audio.createBuffer(2, n, rate);
  }

  // A filled buffer, to be heard from frame at of the context's time, and
  // kept to be filled again once heard.
  function play(buffer, at) {
    var source = audio.createBufferSource();
    source.buffer = buffer;
    source.connect(audio.destination);
    source.onended = function () { spare[buffer.length].push(buffer); };
    source.start(at / rate);
  }

  shared.startSound = startSound;
  // The program mixes at this rate where the browser has Web Audio.
  page.offerSound = function (mixRate) {
    rate = AudioType ? mixRate : 0;
    return !!rate;
  };
  // The frames of sound wanted now to keep the queue lead seconds ahead.
  page.soundWanted = function () {
    if (!audio || audio.state !== 'running') return 0;
    var heard = Math.floor(audio.currentTime * rate), ahead = made - heard;
    if (ahead < 0) made = heard; // the page stalled: start again from now
    return Math.max(0, heard + Math.round(lead * rate) - made);
  };
  // Interleaved signed 16-bit stereo, converted straight into the buffer
  // that plays it; silence (pointer 0) as its count of frames, no buffer.
  page.soundBlock = function (pointer, frames) {
    var at = made;
    made += frames;
    if (!pointer) return;
    var samples = HEAP16.subarray(pointer >> 1, (pointer >> 1) + 2 * frames), buffer = bufferOf(frames);
    var left = buffer.getChannelData(0), right = buffer.getChannelData(1);
    for (var i = 0, j = 0; i < frames; i++, j += 2) {
      left[i] = samples[j] / 32768;
      right[i] = samples[j + 1] / 32768;
    }
    play(buffer, at);
  };
})(Page, Page.shared);
