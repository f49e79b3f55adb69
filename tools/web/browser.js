// SPDX-License-Identifier: MIT
// Headless Chromium for the suite's browser sessions (tests/test_web.py),
// one JSON command a line on standard input, each answered by a JSON line:
// {"open": URL, "profile": DIR, "width": W, "height": H, "scale": S (device
// pixels per CSS pixel), "preRun": JS (run before the program starts),
// "initScript": JS (as below), "phone": true (a mobile browser on a touch
// screen)}, {"size": [W, H]} (the window's CSS size; a phone's turns with it),
// {"touch": "touchStart"|"touchMove"|"touchEnd"|"touchCancel", "points":
// [[X, Y, ID], ...]} (the fingers down after it, in CSS pixels: those left
// out of a move are lifted), {"pinch": [X, Y, SCALE]} (two fingers spread),
// {"tab": URL} (another page, which the next commands are for), {"front": N}
// (the commands go to the Nth page), {"down": KEY}, {"up": KEY},
// {"click": [X, Y], "button": "left"|"right"|"middle"},
// {"pixels": PPM, "png": PNG} (a shot as a binary PPM, and as a PNG too where
// png is given), {"eval": EXPRESSION}, {"reload": true}, {"closeTab": true}
// (the page is closed; the commands go to the first one left), {"goto": URL},
// {"initScript": JS} (run before any of the page's own scripts in every
// page loaded from then on: a stand-in for what the browser offers),
// {"installability": true} (Chromium's reasons the page cannot be installed),
// {"cpuRate": N} (the page's CPU slowed N times, 1 for full speed, as a
// slower machine: kept over reloads).
// Every answer carries what went wrong in the pages so far: errors, failed
// requests, requests that left the page's own file, and what a
// Content-Security-Policy refused.
const { chromium } = require('playwright-core');
const fs = require('fs');
const readline = require('readline');
const zlib = require('zlib');

const FLAGS = ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
               '--disable-component-update', '--disable-sync'];
// What the page's sound hands to Web Audio, counted where the page cannot
// see it: the audio contexts made, the blocks of sound started with any
// sound in them (counted by their first channel), and the blocks set to
// start before the one before them has ended, which would garble the sound.
const WATCH_SOUND = () => {
  const Made = window.AudioContext;
  window.zarnTest = { contexts: [], loud: 0, overlaps: 0 };
  window.AudioContext = class extends Made {
    constructor(options) { super(options); window.zarnTest.contexts.push(this); }
  };
  const start = AudioBufferSourceNode.prototype.start;
  let end = 0;
  AudioBufferSourceNode.prototype.start = function (when = 0, ...rest) {
    const from = Math.round(when * this.context.sampleRate);
    if (from < end) window.zarnTest.overlaps++;
    if (this.buffer.getChannelData(0).some((x) => x !== 0)) window.zarnTest.loud++;
    end = Math.max(end, from + this.buffer.length);
    return start.call(this, when, ...rest);
  };
};

const WATCH_POLICY = () => addEventListener('securitypolicyviolation', (e) =>
  console.error(`refused by the page's policy: ${e.violatedDirective} ${e.blockedURI}`));

// Chromium's screenshot (an 8-bit RGB PNG, not interlaced) as a binary PPM,
// decoded here: a process of ImageMagick's for each took longer.
function ppm(png) {
  const w = png.readUInt32BE(16), h = png.readUInt32BE(20), idat = [];
  if (png.readUInt16BE(24) !== 0x0802 || png[28] !== 0) throw new Error('not an 8-bit RGB PNG');
  for (let at = 8, len; at < png.length; at += len + 12) {
    len = png.readUInt32BE(at);
    if (png.toString('latin1', at + 4, at + 8) === 'IDAT') idat.push(png.subarray(at + 8, at + 8 + len));
  }
  const raw = zlib.inflateSync(Buffer.concat(idat)), s = 3 * w, head = `P6\n${w} ${h}\n255\n`;
  const out = Buffer.alloc(head.length + s * h);
  out.write(head, 'latin1');
  for (let y = 0, o = head.length; y < h; y++, o += s) {
    const f = raw[y * (s + 1)];
    raw.copy(out, o, y * (s + 1) + 1, (y + 1) * (s + 1));
    if (f === 2) for (let i = 0; y && i < s; i++) out[o + i] += out[o + i - s]; // Chromium's own
    else if (f) {
      for (let i = 0; i < s; i++) {
        const a = i < 3 ? 0 : out[o + i - 3], b = y ? out[o + i - s] : 0, c = i < 3 || !y ? 0 : out[o + i - s - 3];
        const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        out[o + i] += [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][f];
      }
    }
  }
  return out;
}

let context, page, home; // home: where the page came from
let slowed = null; // the CDP session that holds the CPU slowed; closing it lets go
const faults = [];

function watch(p) {
  p.on('pageerror', (e) => faults.push('page error: ' + e.message));
  p.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warning') faults.push(m.type() + ': ' + m.text()); });
  // A request cut short because its page closed or went elsewhere is no
  // fault of the page's; any other failure is, with the browser's reason.
  p.on('requestfailed', (r) => {
    const why = (r.failure() || {}).errorText || '';
    if (why !== 'net::ERR_ABORTED') faults.push('failed: ' + r.url() + ' ' + why);
  });
  p.on('request', (r) => {
    if (!r.url().startsWith(home) && !/^(data|blob):/.test(r.url())) faults.push('fetched: ' + r.url());
  });
  return p;
}

// A page's own CDP session, kept for its touches.
const sessions = new WeakMap();
async function cdpOf(p) {
  if (!sessions.has(p)) sessions.set(p, await context.newCDPSession(p));
  return sessions.get(p);
}

async function run(c) {
  if (c.open) {
    home = c.open.startsWith('file:') ? 'file://' : new URL(c.open).origin + '/';
    context = await chromium.launchPersistentContext(c.profile, {
      // The browser's own scale: an emulated one alone leaves the canvas's
      // device-pixel-content-box in CSS pixels, and the picture is scaled
      // again after it is drawn, as on no real screen.
      executablePath: '/usr/bin/chromium', headless: true,
      args: FLAGS.concat('--force-device-scale-factor=' + (c.scale || 1)),
      viewport: { width: c.width, height: c.height }, deviceScaleFactor: c.scale || 1,
      hasTouch: !!c.phone, isMobile: !!c.phone,
    });
    await context.addInitScript(WATCH_SOUND);
    await context.addInitScript(WATCH_POLICY);
    // As the page's own text, which a Content-Security-Policy lets run where it refuses new Function.
    await context.addInitScript({ content: `window.Module = { preRun: [function () { ${c.preRun || ''} }] };` });
    if (c.initScript) await context.addInitScript({ content: c.initScript });
    page = watch(context.pages()[0] || await context.newPage());
    await page.goto(c.open);
  } else if (c.tab) {
    page = watch(await context.newPage());
    await page.goto(c.tab);
  } else if (c.front !== undefined) page = context.pages()[c.front];
  else if (c.size) await page.setViewportSize({ width: c.size[0], height: c.size[1] });
  else if (c.down) await page.keyboard.down(c.down);
  else if (c.up) await page.keyboard.up(c.up);
  else if (c.touch) {
    const points = (c.points || []).map(([x, y, id]) => ({ x, y, id }));
    await (await cdpOf(page)).send('Input.dispatchTouchEvent', { type: c.touch, touchPoints: points });
  } else if (c.pinch) {
    await (await cdpOf(page)).send('Input.synthesizePinchGesture',
      { x: c.pinch[0], y: c.pinch[1], scaleFactor: c.pinch[2], gestureSourceType: 'touch' });
  }
  else if (c.click) await page.mouse.click(c.click[0], c.click[1], { button: c.button || 'left' });
  else if (c.pixels) {
    // All the window's device pixels: Playwright's own screenshot takes the
    // CSS size times the ratio, rounded, and may leave a column out.
    const cdp = await context.newCDPSession(page);
    const png = Buffer.from((await cdp.send('Page.captureScreenshot', { format: 'png', optimizeForSpeed: true })).data,
                            'base64');
    await cdp.detach();
    fs.writeFileSync(c.pixels, ppm(png));
    if (c.png) fs.writeFileSync(c.png, png);
  }
  else if (c.eval) return await page.evaluate(c.eval);
  else if (c.reload) await page.reload();
  else if (c.goto) await page.goto(c.goto);
  else if (c.initScript) await context.addInitScript({ content: c.initScript });
  else if (c.installability) {
    const cdp = await context.newCDPSession(page);
    return (await cdp.send('Page.getInstallabilityErrors')).installabilityErrors;
  }
  else if (c.cpuRate) {
    if (!slowed) slowed = await context.newCDPSession(page);
    await slowed.send('Emulation.setCPUThrottlingRate', { rate: c.cpuRate });
  }
  else if (c.closeTab) {
    await page.close();
    page = context.pages()[0];
  }
  return null;
}

const lines = readline.createInterface({ input: process.stdin });
(async () => {
  for await (const line of lines) {
    let answer;
    try {
      answer = { value: (await run(JSON.parse(line))) ?? null, faults };
    } catch (e) {
      answer = { error: String(e), faults };
    }
    process.stdout.write(JSON.stringify(answer) + '\n');
  }
})();
