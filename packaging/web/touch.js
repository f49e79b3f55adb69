// SPDX-License-Identifier: MIT
// The touch controls (shell.html's d-pad and two buttons): each finger
// followed, holding its key through keys.js's hold and letGo; the room the
// controls take, which the picture's fit keeps clear (page.js); and taps
// off the controls, which answer the prompt, start the sound and start the
// game again after its end. Apart from the keys because a finger has a
// place on the screen, which the keyboard and the pads do not. It reads and
// fills the page's shared state (Page.shared, page.js).
(function (shared) {
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
    shared.fit();
  }

  // The room the touch controls' panes take at the window's edges, in device
  // pixels: beside the picture in landscape, below it in portrait.
  function controlsRoom() {
    var room = { left: 0, right: 0, below: 0 };
    if (!touching) return room;
    var ratio = window.devicePixelRatio || 1, view = shared.canvas.getBoundingClientRect();
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
    var code = name ? shared.scancodes[name] : 0;
    if (code === finger.code) return;
    if (finger.code) {
      if (!quiet) shared.letGo(finger.code);
      finger.shown.classList.remove('down');
    }
    finger.code = code || 0;
    if (!code) return;
    finger.shown = document.querySelector('#touch [data-key=' + name + ']');
    finger.shown.classList.add('down');
    shared.hold(code, shared.KEY_ASCII[name] || 0);
  }

  function touchStart(event) {
    event.preventDefault();
    showTouch();
    for (var i = 0; i < event.changedTouches.length; i++) {
      var touch = event.changedTouches[i], target = touch.target;
      var control = target.closest && target.closest('#dpad, #buttons [data-key]');
      var finger = fingers[touch.identifier] = {
        on: control ? (control === dpad ? 'pad' : control.dataset.key) : null, code: 0, late: shared.ended };
      if (!shared.ended && finger.on) steer(finger, finger.on === 'pad' ? arm(touch) : finger.on);
    }
  }

  function touchMove(event) {
    event.preventDefault();
    for (var i = 0; i < event.changedTouches.length; i++) {
      var touch = event.changedTouches[i], finger = fingers[touch.identifier];
      if (finger && finger.on === 'pad' && !shared.ended) steer(finger, arm(touch));
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
      if (shared.ended) {
        // Once the touch is over: loading the page again inside its own
        // event leaves the browser waiting for its end.
        if (finger.late) setTimeout(shared.startAgain, 0);
        continue;
      }
      shared.startSound();
      if (shared.prompting && !finger.on) answer(touch);
    }
  }

  // A tap on the prompt's answer, or on the line beyond it (a finger is
  // wider than a line), presses its digit; on the first it asks for full
  // screen as the key does.
  function answer(touch) {
    var frame = shared.picture, at = shared.at, answers = shared.answers;
    var ratio = window.devicePixelRatio || 1, k = at.w / frame.width;
    var x = (touch.clientX * ratio - at.x) / k, y = (touch.clientY * ratio - at.y) / k;
    var line = Math.floor((y - answers.y) / answers.line);
    if (x < 0 || x >= frame.width || line < -1 || line > 2) return;
    var name = line < 1 ? 'Digit1' : 'Digit2', code = shared.scancodes[name];
    if (name === 'Digit1') shared.askFullScreen();
    shared.hold(code, shared.KEY_ASCII[name]);
    shared.letGo(code);
  }

  shared.controlsRoom = controlsRoom;
  // The page lost the focus, and every key was let go of (keys.js).
  shared.forgetFingers = function () {
    for (var id in fingers) steer(fingers[id], 0, true);
  };
  // At the program's start (Page.prepare): the controls found, and shown
  // at once on a touch screen.
  shared.findTouch = function () {
    dpad = document.getElementById('dpad');
    buttons = document.getElementById('buttons');
    if (matchMedia('(any-pointer: coarse)').matches) showTouch();
  };
  shared.listenTouch = function () {
    var active = { passive: false };
    addEventListener('touchstart', touchStart, active);
    addEventListener('touchmove', touchMove, active);
    addEventListener('touchend', touchEnd, active);
    addEventListener('touchcancel', touchEnd, active);
    addEventListener('contextmenu', function (e) { if (touching) e.preventDefault(); });
  };
})(Page.shared);
