// SPDX-License-Identifier: MIT
// The page's side of the browser build: what the game's platform layer
// (src/platform/web/) asks of the browser, and what the browser tells it.
// The picture on the canvas, enlarged by a whole number; the keys, pads
// and touch controls; full screen; the screen kept on; the sound's way out; the best score in the page's storage; the
// messages and the end of a run. Runs before the program starts.
var Page = (function () {
  var canvas, context, board, note;
  var pack = null; // the pack's bytes, unpacked, until the program's folder has them
  var prompting = false, fullScreenAsked = false, ended = false;
  var answers = { y: 0, line: 1 }; // where the prompt's answers are, in the frame

  // The library's scancodes of the keys the game can be given, by the
  // browser's names of the keys' places (the program names them: keyName).
  var scancodes = {};

  // ---- the picture --------------------------------------------------------
  // The program's frames go into a canvas of the frame's own size (frame),
  // which is drawn into the page's canvas, and that one fills the window
  // with a device pixel for each of its own. So every game pixel is k x k
  // device pixels at a whole offset, whatever the pixel ratio or zoom: a
  // canvas the frame's size, enlarged by CSS, lands on a size the browser
  // rounds to its layout unit and at a fractional offset, and some columns
  // come out a pixel wider than the rest, or blended.
  var frame, frameContext, shown = null; // shown: the ImageData show copies from
  var device = null; // the canvas's size in device pixels, as the browser tells it
  var at = { x: 0, y: 0, w: 0, h: 0 }; // where the frame is drawn, in device pixels

  // Where device-pixel-content-box is not offered the size is reckoned,
  // which may be a pixel out at some ratios: the CSS still keeps it sharp.
  function deviceSize() {
    if (device) return device;
    var ratio = window.devicePixelRatio || 1;
    return [Math.round(canvas.clientWidth * ratio), Math.round(canvas.clientHeight * ratio)];
  }

  // The largest whole number of device pixels per game pixel that fits the
  // window, or the screen in full screen, centred. With touch controls it
  // fits beside them in landscape, centred, and above them in portrait, at
  // the top; where it would not fit whole there they lie over it, at its
  // edges. Only a window smaller than the frame shrinks it, smoothly, so
  // that nothing is cut off.
  function fit() {
    var size = deviceSize(), w = frame.width, h = frame.height, room = controlsRoom();
    var free = [size[0] - room.left - room.right, size[1] - room.below];
    var k = Math.floor(Math.min(free[0] / w, free[1] / h)), left = room.left, top = room.below > 0;
    if (k < 1) {
      free = size;
      left = 0;
      top = false;
      k = Math.min(size[0] / w, size[1] / h);
      if (k >= 1) k = Math.floor(k);
    }
    at.w = Math.round(w * k);
    at.h = Math.round(h * k);
    at.x = left + Math.floor((free[0] - at.w) / 2);
    at.y = top ? 0 : Math.floor((free[1] - at.h) / 2);
    // A new size empties the canvas and resets how it draws.
    if (canvas.width !== size[0]) canvas.width = size[0];
    if (canvas.height !== size[1]) canvas.height = size[1];
    context.imageSmoothingEnabled = k < 1;
    context.imageSmoothingQuality = 'high';
    context.fillStyle = '#000';
    context.fillRect(0, 0, canvas.width, canvas.height);
    draw();
  }

  // The frame, or rows top to top + rows - 1 of it: a band alone where
  // each game pixel is a whole number of device pixels, so that it lands on
  // the very pixels the whole frame would give; the whole where the frame
  // is shrunk and smoothed, where neighbouring rows blend.
  function draw(top, rows) {
    var k = at.h / frame.height;
    if (rows === undefined || k !== Math.floor(k) || at.w !== frame.width * k)
      context.drawImage(frame, at.x, at.y, at.w, at.h);
    else
      context.drawImage(frame, 0, top, frame.width, rows, at.x, at.y + top * k, at.w, rows * k);
  }

  function watchSize() {
    if (!window.ResizeObserver) return;
    var observer = new ResizeObserver(function (entries) {
      var entry = entries[entries.length - 1], box = entry.devicePixelContentBoxSize;
      device = box && box[0] ? [box[0].inlineSize, box[0].blockSize] : null;
      fit();
    });
    try {
      observer.observe(canvas, { box: 'device-pixel-content-box' });
    } catch (e) {
      observer.observe(canvas); // the box is not offered: reckoned
    }
  }

  function say(text) {
    board.textContent = text;
    board.hidden = false;
  }

  // Who holds each key the game was given, by scancode: the keyboard, each
  // pad's controls and each finger on the touch controls. The game sees a
  // key go down with its first holder and up with its last, so none of them
  // lets go of another's keys.
  var holders = {};
  // The keys down on the keyboard, by place: held on, they repeat, and one
  // still held when the game ends is no press that starts it again.
  var keyboard = {};
  // The characters of the keys the pads and the touch controls press.
  var KEY_ASCII = { Enter: 13, Escape: 27, Digit1: 49, Digit2: 50 };

  function hold(code, ascii) {
    holders[code] = (holders[code] || 0) + 1;
    if (holders[code] === 1) change(code, 1, ascii);
  }

  function letGo(code) {
    if (!holders[code]) return;
    holders[code]--;
    if (!holders[code]) change(code, 0, 0);
  }

  // A key's changes reach the game one a pass at most: one that went down
  // goes up only once a pass has run since, and down again only once a
  // pass has seen it up, so a tap however short, and the next however
  // quick, are each seen. The program counts its passes (web_passes).
  // By scancode: the pass of the last change, and the changes waiting.
  var changes = {};

  function change(code, down, ascii) {
    var key = changes[code] || (changes[code] = { pass: -1, waiting: [] });
    key.waiting.push([down, ascii]);
    if (key.waiting.length === 1) passOn(code);
  }

  function passOn(code) {
    var key = changes[code];
    while (key && key.waiting.length && !ended) {
      var pass = Module._web_passes();
      if (pass === key.pass) return void setTimeout(passOn, 4, code);
      var next = key.waiting.shift();
      Module._web_key(code, next[0], next[1]);
      key.pass = pass;
    }
  }

  // The program has returned: a new press loads the page again.
  function startAgain() {
    location.reload();
  }

  function key(event, down) {
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    var code = scancodes[event.code];
    if (code === undefined) return;
    // Arrows and Space would scroll, Tab would move the focus away.
    event.preventDefault();
    if (!down) {
      if (keyboard[event.code]) letGo(code);
      delete keyboard[event.code];
      return;
    }
    if (event.repeat || keyboard[event.code]) return;
    if (ended) return startAgain();
    keyboard[event.code] = true;
    startSound();
    // Full screen is granted only inside the key's own handler.
    if (prompting && event.code === 'Digit1') askFullScreen();
    hold(code, event.key.length === 1 ? event.key.charCodeAt(0) & 255
                 : {Enter: 13, Escape: 27, Tab: 9, Backspace: 8}[event.key] || 0);
  }

  // Keys let go while the page had no focus would stay down: the page
  // losing it lets go of them all, and a pad's control held on counts again
  // only once pressed anew.
  function blurred() {
    if (!ended) Module._web_keys_up();
    holders = {};
    keyboard = {};
    changes = {};
    for (var id in fingers) steer(fingers[id], 0, true);
    for (var index in pads)
      for (var c = 0; c < pads[index].length; c++)
        if (pads[index][c]) pads[index][c] = -1;
  }

  // A left click or a tap; the other buttons are for the browser.
  function clicked(event) {
    if (event.button !== 0) return;
    if (ended) startAgain();
    else startSound();
  }

  // ---- game pads --------------------------------------------------------
  // Pads in the Gamepad API's standard mapping stand for the keys they
  // mean, so the game reads its keys alone: d-pad and left stick past
  // half-way the arrows, A and Start Enter, B and Back Esc. The prompt's
  // answer is 2, as a pad can't ask for full screen. Pads are read once a
  // frame while any is plugged in; a pad pulled out lets go of its keys.
  var PAD_KEYS = ['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'Enter', 'Escape'];
  var STICK = 0.5;
  // By pad index, per control of PAD_KEYS: 0 up, the scancode it holds,
  // or -1 held with no key (held on through a lost focus or the end).
  var pads = {}, reading = false;

  function padControls(pad) {
    var button = function (i) { return !!pad.buttons[i] && pad.buttons[i].pressed; };
    var x = pad.axes[0] || 0, y = pad.axes[1] || 0;
    return [button(12) || y < -STICK, button(13) || y > STICK, button(14) || x < -STICK,
            button(15) || x > STICK, button(0) || button(9), button(1) || button(8)];
  }

  function padPressed(control) {
    if (ended) {
      startAgain();
      return -1;
    }
    // Sound starts only once the page has had a key or a click: a pad's
    // press is no user activation to the browser.
    if (!navigator.userActivation || navigator.userActivation.hasBeenActive) startSound();
    var name = prompting ? 'Digit2' : PAD_KEYS[control], code = scancodes[name];
    if (code === undefined) return -1;
    hold(code, KEY_ASCII[name] || 0);
    return code;
  }

  function padMoved(held, now) {
    for (var c = 0; c < PAD_KEYS.length; c++) {
      if (now[c] && !held[c]) held[c] = padPressed(c);
      else if (!now[c] && held[c]) {
        if (held[c] > 0) letGo(held[c]);
        held[c] = 0;
      }
    }
  }

  function readPads() {
    var list = navigator.getGamepads(), seen = {}, any = false;
    for (var i = 0; i < list.length; i++) {
      var pad = list[i];
      if (!pad || !pad.connected || pad.mapping !== 'standard') continue;
      seen[pad.index] = any = true;
      padMoved(pads[pad.index] || (pads[pad.index] = [0, 0, 0, 0, 0, 0]), padControls(pad));
    }
    for (var index in pads) {
      if (seen[index]) continue;
      padMoved(pads[index], [false, false, false, false, false, false]);
      delete pads[index];
    }
    reading = any;
    if (any) requestAnimationFrame(readPads);
  }

  function padConnected() {
    if (reading) return;
    reading = true;
    requestAnimationFrame(readPads);
  }

  // ---- touch ------------------------------------------------------------
  // On a touch screen (a coarse pointer, or a first touch) the page shows a
  // d-pad and two buttons (shell.html), which hold the keys they stand for.
  // Each finger is followed by its identifier: on the d-pad it holds the arm
  // it is nearest to from the pad's centre, so a finger sliding from one arm
  // to the next changes direction; on a button it holds until lifted,
  // wherever it is then. A tap elsewhere answers the prompt, starts the
  // sound and, after the end, starts the game again. The page itself never
  // scrolls, zooms or selects for a touch.
  var touching = false, dpad, buttons;
  // By touch identifier: on ('pad', a key's name, or null), the scancode it
  // holds (0 for none) and whether it began after the end.
  var fingers = {};

  function showTouch() {
    if (touching) return;
    touching = true;
    document.documentElement.classList.add('touch');
    fit();
  }

  // The room the touch controls' panes take at the window's edges, in device
  // pixels: beside the picture in landscape, below it in portrait.
  function controlsRoom() {
    var room = { left: 0, right: 0, below: 0 };
    if (!touching) return room;
    var ratio = window.devicePixelRatio || 1, view = canvas.getBoundingClientRect();
    var pad = dpad.getBoundingClientRect(), keys = buttons.getBoundingClientRect();
    if (matchMedia('(orientation: landscape)').matches) {
      room.left = Math.ceil((pad.right - view.left) * ratio);
      room.right = Math.ceil((view.right - keys.left) * ratio);
    } else room.below = Math.ceil((view.bottom - Math.min(pad.top, keys.top)) * ratio);
    return room;
  }

  // The arm of the d-pad a touch is on: its key's name, or null in the middle.
  function arm(touch) {
    var box = dpad.getBoundingClientRect();
    var x = touch.clientX - (box.left + box.width / 2), y = touch.clientY - (box.top + box.height / 2);
    if (Math.max(Math.abs(x), Math.abs(y)) < box.width / 8) return null;
    if (Math.abs(x) > Math.abs(y)) return x < 0 ? 'ArrowLeft' : 'ArrowRight';
    return y < 0 ? 'ArrowUp' : 'ArrowDown';
  }

  // The finger now holds the key of that name (none for null); quiet, it
  // forgets its key without letting go (the keys were all let go of).
  function steer(finger, name, quiet) {
    var code = name ? scancodes[name] : 0;
    if (code === finger.code) return;
    if (finger.code) {
      if (!quiet) letGo(finger.code);
      finger.shown.classList.remove('down');
    }
    finger.code = code || 0;
    if (!code) return;
    finger.shown = document.querySelector('#touch [data-key=' + name + ']');
    finger.shown.classList.add('down');
    hold(code, KEY_ASCII[name] || 0);
  }

  function touchStart(event) {
    event.preventDefault();
    showTouch();
    for (var i = 0; i < event.changedTouches.length; i++) {
      var touch = event.changedTouches[i], target = touch.target;
      var control = target.closest && target.closest('#dpad, #buttons [data-key]');
      var finger = fingers[touch.identifier] = {
        on: control ? (control === dpad ? 'pad' : control.dataset.key) : null, code: 0, late: ended };
      if (!ended && finger.on) steer(finger, finger.on === 'pad' ? arm(touch) : finger.on);
    }
  }

  function touchMove(event) {
    event.preventDefault();
    for (var i = 0; i < event.changedTouches.length; i++) {
      var touch = event.changedTouches[i], finger = fingers[touch.identifier];
      if (finger && finger.on === 'pad' && !ended) steer(finger, arm(touch));
    }
  }

  // A lifted finger is a user's gesture to the browser, as a key is: the
  // sound may start here and full screen be asked for.
  function touchEnd(event) {
    event.preventDefault();
    for (var i = 0; i < event.changedTouches.length; i++) {
      var touch = event.changedTouches[i], finger = fingers[touch.identifier];
      if (!finger) continue;
      delete fingers[touch.identifier];
      steer(finger, null);
      if (event.type === 'touchcancel') continue;
      if (ended) {
        // Once the touch is over: loading the page again inside its own
        // event leaves the browser waiting for its end.
        if (finger.late) setTimeout(startAgain, 0);
        continue;
      }
      startSound();
      if (prompting && !finger.on) answer(touch);
    }
  }

  // A tap on the prompt's answer, or on the line beyond it (a finger is
  // wider than a line), presses its digit; on the first it asks for full
  // screen as the key does.
  function answer(touch) {
    var ratio = window.devicePixelRatio || 1, k = at.w / frame.width;
    var x = (touch.clientX * ratio - at.x) / k, y = (touch.clientY * ratio - at.y) / k;
    var line = Math.floor((y - answers.y) / answers.line);
    if (x < 0 || x >= frame.width || line < -1 || line > 2) return;
    var name = line < 1 ? 'Digit1' : 'Digit2', code = scancodes[name];
    if (name === 'Digit1') askFullScreen();
    hold(code, KEY_ASCII[name]);
    letGo(code);
  }

  // ---- the screen kept on -----------------------------------------------
  // While the program runs and the page shows, where the browser offers it.
  // The browser lets go of the lock when the page is hidden; it is asked for
  // again when it shows.
  var awake = null; // the lock asked for: a promise of it, or of null

  function keepAwake() {
    if (awake || ended || document.hidden || !navigator.wakeLock) return;
    awake = navigator.wakeLock.request('screen').catch(function () { return null; });
  }

  function letSleep() {
    if (!awake) return;
    awake.then(function (lock) { if (lock) lock.release().catch(function () {}); });
    awake = null;
  }

  function visibility() {
    if (!document.hidden) return keepAwake();
    letSleep();
    if (!ended) Module._web_page_hidden();
  }

  function askFullScreen() {
    var page = document.documentElement;
    if (!document.fullscreenEnabled || !page.requestFullscreen) return;
    fullScreenAsked = true;
    page.requestFullscreen().catch(function () {});
  }

  // In full screen Esc belongs to the game where the browser lets a page
  // keep it (holding it still leaves full screen).
  function fullScreenChanged() {
    var lock = navigator.keyboard && navigator.keyboard.lock;
    if (document.fullscreenElement && lock) navigator.keyboard.lock(['Escape']).catch(function () {});
    fit();
  }

  // ---- sound ------------------------------------------------------------
  // The library's mixer makes the sound in the program; here it is played.
  // It is handed over in blocks, queued where the browser plays it, and the
  // program keeps the queue a little ahead of what is heard.
  var AudioType = window.AudioContext || window.webkitAudioContext;
  var audio = null, out = null, made = 0, rate = 0, LEAD = 0.08;

  // A browser lets a page sound only after a key or a click.
  function startSound() {
    if (audio) {
      if (audio.state === 'suspended') audio.resume();
      return;
    }
    if (!rate) return;
    audio = new AudioType({ sampleRate: rate });
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
      node.onaudioprocess = function (e) {
        soundDrain(queue, e.outputBuffer.getChannelData(0), e.outputBuffer.getChannelData(1));
      };
      node.connect(audio.destination);
      out = function (block) { queue.blocks.push(block); };
    }
    audio.resume();
  }

  // ---- the best score ---------------------------------------------------
  // Kept in the page's storage as the bytes of its file in hex, under the
  // key the program names (src/platform/web/storage.cpp).

  function storage() {
    try {
      return window.localStorage;
    } catch (e) {
      return null; // storage refused
    }
  }

  // A string's characters as bytes, for the pack where the browser has no
  // Uint8Array.fromBase64: a loop that a phone's CPU takes a few hundred
  // milliseconds over, where that takes a few.
  function bytesOf(text) {
    var bytes = new Uint8Array(text.length);
    for (var i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
    return bytes;
  }

  return {
    // Before the program starts: the pack in its folder.
    prepare: function () {
      document.getElementById('nostart').hidden = true; // the program runs
      canvas = document.getElementById('screen');
      context = canvas.getContext('2d', { alpha: false });
      frame = document.createElement('canvas');
      frameContext = frame.getContext('2d', { alpha: false });
      board = document.getElementById('message');
      note = document.getElementById('ended');
      dpad = document.getElementById('dpad');
      buttons = document.getElementById('buttons');
      if (matchMedia('(any-pointer: coarse)').matches) showTouch();
      fit();
      watchSize();
      addEventListener('resize', fit);
      document.addEventListener('fullscreenchange', fullScreenChanged);
      addEventListener('keydown', function (e) { key(e, true); });
      addEventListener('keyup', function (e) { key(e, false); });
      addEventListener('blur', blurred);
      // A tap gives a left button's mousedown too.
      addEventListener('mousedown', clicked);
      if (navigator.getGamepads) addEventListener('gamepadconnected', padConnected);
      addEventListener('pagehide', function () { if (!ended) Module._web_page_hidden(); });
      document.addEventListener('visibilitychange', visibility);
      keepAwake();
      var active = { passive: false };
      addEventListener('touchstart', touchStart, active);
      addEventListener('touchmove', touchMove, active);
      addEventListener('touchend', touchEnd, active);
      addEventListener('touchcancel', touchEnd, active);
      addEventListener('contextmenu', function (e) { if (touching) e.preventDefault(); });
      canvas.focus();
      FS.writeFile('/zarn.dat', pack);
      pack = null;
    },
    // The pack is held gzipped (embed.py), half the text the browser must
    // read before anything runs; it is unpacked while the WebAssembly
    // compiles, and the program waits for it.
    unpack: function () {
      if (!window.DecompressionStream) throw new Error('this browser cannot unpack the game');
      var packed = Uint8Array.fromBase64 ? Uint8Array.fromBase64(zarnPack) : bytesOf(atob(zarnPack));
      zarnPack = null;
      addRunDependency('zarn.dat');
      new Response(new Blob([packed]).stream().pipeThrough(new DecompressionStream('gzip'))).arrayBuffer()
        .then(function (bytes) {
          pack = new Uint8Array(bytes);
          removeRunDependency('zarn.dat');
        });
    },
    keyName: function (name, code) { scancodes[name] = code; },
    canShow: function () { return !!context && !!frameContext; },
    // The program mixes at this rate where the browser has Web Audio.
    offerSound: function (mixRate) {
      rate = AudioType ? mixRate : 0;
      return !!rate;
    },
    // The frames of sound wanted now to keep the queue LEAD seconds ahead.
    soundWanted: function () {
      if (!out || audio.state !== 'running') return 0;
      var heard = Math.floor(audio.currentTime * rate), ahead = made - heard;
      if (ahead < 0) made = heard; // the page stalled: start again from now
      return Math.max(0, heard + Math.round(LEAD * rate) - made);
    },
    // Interleaved signed 16-bit stereo, handed on as one block of two
    // channels; silence (pointer 0) as its count of frames.
    soundBlock: function (pointer, frames) {
      made += frames;
      if (!pointer) return out(frames);
      var samples = HEAP16.subarray(pointer >> 1, (pointer >> 1) + 2 * frames);
      var left = new Float32Array(frames), right = new Float32Array(frames);
      for (var i = 0, j = 0; i < frames; i++, j += 2) {
        left[i] = samples[j] / 32768;
        right[i] = samples[j + 1] / 32768;
      }
      out([left, right]);
    },
    // A frame of the size clear was given, four bytes a pixel, of which
    // rows top to top + rows - 1 changed: only they are copied and drawn.
    // The frame is seen through one ImageData over the program's memory,
    // made again only when that memory grows (its buffer is then new).
    show: function (pointer, top, rows) {
      var w = frame.width, h = frame.height;
      if (!shown || shown.data.buffer !== HEAPU8.buffer || shown.data.byteOffset !== pointer)
        shown = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pointer, w * h * 4), w, h);
      frameContext.putImageData(shown, 0, 0, 0, top, w, rows);
      draw(top, rows);
    },
    // A mode set: the frame that size, and black.
    clear: function (w, h) {
      shown = null;
      frame.width = w;
      frame.height = h;
      frameContext.fillStyle = '#000';
      frameContext.fillRect(0, 0, w, h);
      fit();
    },
    fullScreenAsked: function () { return fullScreenAsked; },
    // Whether the mode prompt is up, where 1 asks for full screen, and where
    // in the frame its answers' lines are: from y down, line pixels each.
    prompting: function (on, y, line) {
      prompting = !!on;
      answers = { y: y, line: line };
    },
    message: say,
    // The kept bytes, up to size of them, into the program's memory: their
    // count, -1 when none are kept (or storage is refused), -2 when the
    // value is not whole hex bytes, which can't be read as a file's bytes.
    readKept: function (key, pointer, size) {
      var kept = storage(), hex = kept && kept.getItem(key);
      if (hex === null) return -1;
      if (!/^([0-9a-fA-F]{2})*$/.test(hex)) return -2;
      var n = Math.min(size, hex.length / 2);
      for (var i = 0; i < n; i++) HEAPU8[pointer + i] = parseInt(hex.substr(2 * i, 2), 16);
      return n;
    },
    // 0 when the bytes are kept, 1 when the storage is full, 2 when it is
    // refused: the program says what was lost, and the page ends as ever.
    keep: function (key, pointer, n) {
      var kept = storage(), hex = '';
      for (var i = 0; i < n; i++) hex += (HEAPU8[pointer + i] < 16 ? '0' : '') + HEAPU8[pointer + i].toString(16);
      try {
        kept.setItem(key, hex);
        return 0;
      } catch (e) {
        return e && e.name === 'QuotaExceededError' ? 1 : 2;
      }
    },
    // The program has returned: say so, and how to start again.
    ended: function () {
      ended = true;
      letSleep();
      canvas.style.opacity = 0.4;
      if (document.fullscreenElement) document.exitFullscreen().catch(function () {});
      note.hidden = false;
    },
  };
})();

Module['preInit'] = (Module['preInit'] || []).concat(Page.unpack);
Module['preRun'] = (Module['preRun'] || []).concat(Page.prepare);
Module['onExit'] = Page.ended;
