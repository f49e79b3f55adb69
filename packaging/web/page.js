// SPDX-License-Identifier: MIT
// The page's side of the browser build: what the game's platform layer
// (src/platform/web/) asks of the browser, and what the browser tells it.
// This file holds the page itself: the picture on the canvas, enlarged by
// a whole number; full screen; the screen kept on; the best score in the
// page's storage; the messages, the start and the end of a run. The keys
// (keys.js), the touch controls (touch.js) and the sound (audio.js) are
// files of their own, run after this one and before the program starts.
// The program reaches them all as Page; what they share among themselves
// is Page.shared, each part set by the file it belongs to.
var Page = (function () {
  var canvas, board, note;
  var pack = null; // the pack's bytes, unpacked, until the program's folder has them
  var fullScreenAsked = false;

  var shared = {
    // The library's scancodes of the keys the game can be given, by the
    // browser's names of the keys' places (the program names them: keyName).
    scancodes: {},
    ended: false, // the program has returned
    prompting: false, // the mode prompt is up
    answers: { y: 0, line: 1 }, // where the prompt's answers are, in the frame
    canvas: null, // the page's, and what the frame is drawn into, frame's size
    picture: null,
    at: { x: 0, y: 0, w: 0, h: 0 }, // where the frame is drawn, in device pixels
    fit: fit,
    askFullScreen: askFullScreen,
    startAgain: startAgain,
    // keys.js: hold, letGo, KEY_ASCII, listenKeys, padsAfterEnd; touch.js:
    // controlsRoom, forgetFingers, findTouch, listenTouch; audio.js:
    // startSound.
  };

  // ---- the picture --------------------------------------------------------
  // The program's frames go into a canvas of the frame's own size (frame),
  // and that canvas is the picture: the compositor enlarges it, each game
  // pixel to k x k device pixels at a whole offset, whatever the pixel ratio
  // or zoom. Its CSS box stays the frame's size in whole pixels; a
  // transform alone scales and places it, in exact device pixels: a box
  // sized in CSS lands on a size the browser rounds to its layout unit, and
  // some columns come out a pixel wider than the rest, or blended. The
  // page's canvas (screen), never drawn into, fills the window and tells
  // its size in device pixels. So a frame costs the copy of the rows that
  // changed and the compositor's enlarging of them, not a drawing of it
  // enlarged into a window-sized canvas as well.
  // Where the browser offers it, the frame is drawn through an
  // OffscreenCanvas given the canvas's control (picture): each frame goes
  // to the compositor as it is drawn, without a paint and a commit of the
  // page's own, which took a third of the CPU that showing the frames cost.
  var frame, picture, frameContext, shown = null; // shown: the ImageData show copies from
  var device = null; // the canvas's size in device pixels, as the browser tells it
  var at = shared.at;

  // Where device-pixel-content-box is not offered the size is reckoned,
  // which may be a pixel out at some ratios: the picture is still sharp.
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
    var size = deviceSize(), w = picture.width, h = picture.height, room = shared.controlsRoom();
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
    // In CSS pixels, which the browser turns back into these device pixels.
    var ratio = window.devicePixelRatio || 1, style = frame.style;
    style.width = w + 'px';
    style.height = h + 'px';
    style.transform = 'matrix(' + [k / ratio, 0, 0, k / ratio, at.x / ratio, at.y / ratio].join() + ')';
    style.imageRendering = k < 1 ? 'auto' : 'pixelated';
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

  // The program has returned: a new press loads the page again.
  function startAgain() {
    location.reload();
  }

  // ---- the screen kept on -----------------------------------------------
  // While the program runs and the page shows, where the browser offers it.
  // The browser lets go of the lock when the page is hidden; it is asked for
  // again when it shows.
  var awake = null; // the lock asked for: a promise of it, or of null

  function keepAwake() {
    if (awake || shared.ended || document.hidden || !navigator.wakeLock) return;
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
    if (!shared.ended) Module._web_page_hidden();
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

  return {
    // Before the program starts: the pack in its folder.
    prepare: function () {
      document.getElementById('nostart').hidden = true; // the program runs
      canvas = document.getElementById('screen');
      frame = document.getElementById('picture');
      picture = frame.transferControlToOffscreen && window.OffscreenCanvasRenderingContext2D
        ? frame.transferControlToOffscreen() : frame;
      frameContext = picture.getContext('2d', { alpha: false });
      board = document.getElementById('message');
      note = document.getElementById('ended');
      shared.canvas = canvas;
      shared.picture = picture;
      shared.findTouch();
      fit();
      watchSize();
      addEventListener('resize', fit);
      document.addEventListener('fullscreenchange', fullScreenChanged);
      shared.listenKeys();
      addEventListener('pagehide', function () { if (!shared.ended) Module._web_page_hidden(); });
      document.addEventListener('visibilitychange', visibility);
      keepAwake();
      shared.listenTouch();
      canvas.focus();
      FS.writeFile('/zarn.dat', pack);
      pack = null;
    },
    // The pack is held gzipped (embed.py), half the text the browser must
    // read before anything runs; it is unpacked while the WebAssembly
    // compiles, and the program waits for it.
    unpack: function () {
      var unpacked = zarnUnpack(zarnPack);
      zarnPack = null;
      addRunDependency('zarn.dat');
      unpacked.then(function (bytes) {
        pack = new Uint8Array(bytes);
        removeRunDependency('zarn.dat');
      });
    },
    // zarn.html's WebAssembly, compiled as the page was read (one_file.py);
    // the zip's page fetches and compiles its own zarn.wasm.
    instantiate: function (imports, done) {
      zarnCode.then(function (code) { return WebAssembly.instantiate(code, imports); }).then(done);
      return {};
    },
    keyName: function (name, code) { shared.scancodes[name] = code; },
    canShow: function () { return !!frameContext; },
    // A frame of the size clear was given, four bytes a pixel, of which
    // rows top to top + rows - 1 changed: only they are copied.
    // The frame is seen through one ImageData over the program's memory,
    // made again only when that memory grows (its buffer is then new).
    show: function (pointer, top, rows) {
      var w = picture.width, h = picture.height;
      if (!shown || shown.data.buffer !== HEAPU8.buffer || shown.data.byteOffset !== pointer)
        shown = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pointer, w * h * 4), w, h);
      frameContext.putImageData(shown, 0, 0, 0, top, w, rows);
    },
    // A mode set: the frame that size, and black.
    clear: function (w, h) {
      shown = null;
      picture.width = w;
      picture.height = h;
      frameContext.fillStyle = '#000';
      frameContext.fillRect(0, 0, w, h);
      fit();
    },
    fullScreenAsked: function () { return fullScreenAsked; },
    // Whether the mode prompt is up, where 1 asks for full screen, and where
    // in the frame its answers' lines are: from y down, line pixels each.
    prompting: function (on, y, line) {
      shared.prompting = !!on;
      shared.answers = { y: y, line: line };
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
      shared.ended = true;
      letSleep();
      frame.style.opacity = 0.4;
      if (document.fullscreenElement) document.exitFullscreen().catch(function () {});
      note.hidden = false;
      shared.padsAfterEnd();
    },
    shared: shared,
  };
})();

Module['preInit'] = (Module['preInit'] || []).concat(Page.unpack);
if (typeof zarnCode === 'object' && zarnCode) Module['instantiateWasm'] = Page.instantiate;
Module['preRun'] = (Module['preRun'] || []).concat(Page.prepare);
Module['onExit'] = Page.ended;