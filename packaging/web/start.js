// SPDX-License-Identifier: MIT
// The page's first word. Its markup says "ZARN could not start" until the
// program's start hides the line (page.js), so a page cut short, a browser
// without WebAssembly or a refused script still says something; this runs
// before the program's script and puts the reason in where the browser
// tells one. zarn.html holds it inline; the zip has it as a file of its own,
// as a strict Content-Security-Policy wants.
(function () {
  var line = document.getElementById('nostart'), told = false;

  function tell(reason) {
    if (told || line.hidden) return;
    told = true;
    line.textContent = 'ZARN could not start: ' + reason;
  }

  if (typeof WebAssembly !== 'object') tell('this browser has no WebAssembly.');
  // Captured, to hear of a script that failed to load too, which does not bubble.
  addEventListener('error', function (e) {
    var file = e.target && e.target.src;
    tell(file ? file.split('/').pop() + ' could not be loaded.' : e.message + '.');
  }, true);
  addEventListener('unhandledrejection', function (e) { tell(String(e.reason) + '.'); });

  // Only the zip's page names a manifest: served, it keeps its files to play offline.
  if (document.querySelector('link[rel=manifest]') && navigator.serviceWorker) {
    navigator.serviceWorker.register('sw.js').catch(function () {});
  }
})();

// Base64 text of gzipped bytes: a promise of the bytes. Where the browser
// has no Uint8Array.fromBase64 the text's characters are made bytes in a
// loop, which a phone's CPU takes a few hundred milliseconds over where
// that takes a few.
function zarnUnpack(text) {
  if (!window.DecompressionStream) throw new Error('this browser cannot unpack the game');
  var packed;
  if (Uint8Array.fromBase64) {
    packed = Uint8Array.fromBase64(text);
  } else {
    var chars = atob(text);
    packed = new Uint8Array(chars.length);
    for (var i = 0; i < chars.length; i++) packed[i] = chars.charCodeAt(i);
  }
  return new Response(new Blob([packed]).stream().pipeThrough(new DecompressionStream('gzip'))).arrayBuffer();
}
