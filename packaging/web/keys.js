// SPDX-License-Identifier: MIT
// The keys the page gives the game: who holds each one (the keyboard, each
// pad's controls, each finger on the touch controls: touch.js), the queue
// that lets each change reach the game a pass apart, the keyboard, a click
// and the game pads. Apart from the picture (page.js) because every way in
// ends here, in hold and letGo, and the game sees only their sum. It reads
// and fills the page's shared state (Page.shared, page.js), and gives the
// program Page.readPads.
(function (page, shared) {
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
    while (key && key.waiting.length && !shared.ended) {
      var pass = Module._web_passes();
      if (pass === key.pass) return void setTimeout(passOn, 4, code);
      var next = key.waiting.shift();
      Module._web_key(code, next[0], next[1]);
      key.pass = pass;
    }
  }

  function key(event, down) {
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    var code = shared.scancodes[event.code];
    if (code === undefined) return;
    // Arrows and Space would scroll, Tab would move the focus away.
    event.preventDefault();
    if (!down) {
      if (keyboard[event.code]) letGo(code);
      delete keyboard[event.code];
      return;
    }
    if (event.repeat || keyboard[event.code]) return;
    if (shared.ended) return shared.startAgain();
    keyboard[event.code] = true;
    shared.startSound();
    // Full screen is granted only inside the key's own handler.
    if (shared.prompting && event.code === 'Digit1') shared.askFullScreen();
    hold(code, event.key.length === 1 ? event.key.charCodeAt(0) & 255
                 : {Enter: 13, Escape: 27, Tab: 9, Backspace: 8}[event.key] || 0);
  }

  // Keys let go while the page had no focus would stay down: the page
  // losing it lets go of them all, and a pad's control held on counts again
  // only once pressed anew.
  function blurred() {
    if (!shared.ended) Module._web_keys_up();
    holders = {};
    keyboard = {};
    changes = {};
    shared.forgetFingers();
    for (var index in pads)
      for (var c = 0; c < pads[index].length; c++)
        if (pads[index][c]) pads[index][c] = -1;
  }

  // A left click or a tap; the other buttons are for the browser.
  function clicked(event) {
    if (event.button !== 0) return;
    if (shared.ended) shared.startAgain();
    else shared.startSound();
  }

  // ---- game pads --------------------------------------------------------
  // Pads in the Gamepad API's standard mapping stand for the keys they
  // mean, so the game reads its keys alone: d-pad and left stick past
  // half-way the arrows, A and Start Enter, B and Back Esc. The prompt's
  // answer is 2, as a pad can't ask for full screen. A pad pulled out lets
  // go of its keys.
  // While any is plugged in, pads are read at each of the program's passes,
  // just before it looks at its keys, on the wake its tick already has.
  // Read on each of the browser's frames instead (requestAnimationFrame),
  // they cost the page 4 to 7 % of a core more in play: the browser's frame
  // pipeline then ran 60 times a second.
  // Once the program has ended, and passes with it, a timer reads them, for
  // the press that starts it again.
  var PAD_KEYS = ['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'Enter', 'Escape'];
  var STICK = 0.5;
  // By pad index, per control of PAD_KEYS: 0 up, the scancode it holds,
  // or -1 held with no key (held on through a lost focus or the end).
  var pads = {}, reading = false, AFTER_END_MS = 50;

  function padControls(pad) {
    var button = function (i) { return !!pad.buttons[i] && pad.buttons[i].pressed; };
    var x = pad.axes[0] || 0, y = pad.axes[1] || 0;
    return [button(12) || y < -STICK, button(13) || y > STICK, button(14) || x < -STICK,
            button(15) || x > STICK, button(0) || button(9), button(1) || button(8)];
  }

  function padPressed(control) {
    if (shared.ended) {
      shared.startAgain();
      return -1;
    }
    // Sound starts only once the page has had a key or a click: a pad's
    // press is no user activation to the browser.
    if (!navigator.userActivation || navigator.userActivation.hasBeenActive) shared.startSound();
    var name = shared.prompting ? 'Digit2' : PAD_KEYS[control], code = shared.scancodes[name];
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
    if (!reading) return;
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
  }

  function readAfterEnd() {
    readPads();
    if (reading) setTimeout(readAfterEnd, AFTER_END_MS);
  }

  function padConnected() {
    if (reading) return;
    reading = true;
    if (shared.ended) readAfterEnd();
  }

  page.readPads = readPads;
  // At the program's end (Page.ended).
  shared.padsAfterEnd = function () { if (reading) readAfterEnd(); };
  shared.hold = hold;
  shared.letGo = letGo;
  shared.KEY_ASCII = KEY_ASCII;
  // At the program's start (Page.prepare).
  shared.listenKeys = function () {
    addEventListener('keydown', function (e) { key(e, true); });
    addEventListener('keyup', function (e) { key(e, false); });
    addEventListener('blur', blurred);
    // A tap gives a left button's mousedown too.
    addEventListener('mousedown', clicked);
    if (navigator.getGamepads) addEventListener('gamepadconnected', padConnected);
  };
})(Page, Page.shared);
