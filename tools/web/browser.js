// SPDX-License-Identifier: MIT
// Headless Chromium for the suite's browser sessions (tests/test_web.py),
// driven by one JSON command a line on standard input, each answered by one
// JSON line: {"open": URL, "profile": DIR, "width": W, "height": H,
// "preRun": JS, "init": JS} (preRun is run before the program starts, init
// before any of the page's own scripts, both at every load),
// {"tab": URL} (another page, which the next commands are for), {"front": N}
// (the commands go to the Nth page), {"down": KEY}, {"up": KEY},
// {"click": [X, Y], "button": "left"|"right"|"middle"}, {"shot": PNG}, {"eval": EXPRESSION}, {"reload": true}, {"closeTab": true}
// (the page is closed; the commands go to the first one left). Every answer carries what went wrong in the pages so far:
// errors, failed requests and requests that left the page's own file.
const { chromium } = require('playwright-core');
const readline = require('readline');

const FLAGS = ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
               '--disable-component-update', '--disable-sync'];
// What the page's sound hands to Web Audio, counted where the page cannot
// see it: the audio contexts made, and the blocks of sound with any sound in
// them.
const WATCH_SOUND = () => {
  const Made = window.AudioContext;
  window.zarnTest = { contexts: [], blocks: 0, loud: 0 };
  window.AudioContext = class extends Made {
    constructor(options) { super(options); window.zarnTest.contexts.push(this); }
  };
  const post = MessagePort.prototype.postMessage;
  MessagePort.prototype.postMessage = function (data, transfer) {
    if (Array.isArray(data) && data[0] instanceof Float32Array) {
      window.zarnTest.blocks++;
      if (data[0].some((x) => x !== 0)) window.zarnTest.loud++;
    }
    return post.call(this, data, transfer);
  };
};

let context, page, home; // home: where the page came from
const faults = [];

function watch(p) {
  p.on('pageerror', (e) => faults.push('page error: ' + e.message));
  p.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warning') faults.push(m.type() + ': ' + m.text()); });
  p.on('requestfailed', (r) => faults.push('failed: ' + r.url()));
  p.on('request', (r) => {
    if (!r.url().startsWith(home) && !/^(data|blob):/.test(r.url())) faults.push('fetched: ' + r.url());
  });
  return p;
}

async function run(c) {
  if (c.open) {
    home = c.open.startsWith('file:') ? 'file://' : new URL(c.open).origin + '/';
    context = await chromium.launchPersistentContext(c.profile, {
      executablePath: '/usr/bin/chromium', headless: true, args: FLAGS,
      viewport: { width: c.width, height: c.height },
    });
    await context.addInitScript(WATCH_SOUND);
    await context.addInitScript((code) => { window.Module = { preRun: [new Function(code)] }; }, c.preRun || '');
    if (c.init) await context.addInitScript(c.init);
    page = watch(context.pages()[0] || await context.newPage());
    await page.goto(c.open);
  } else if (c.tab) {
    page = watch(await context.newPage());
    await page.goto(c.tab);
  } else if (c.front !== undefined) page = context.pages()[c.front];
  else if (c.down) await page.keyboard.down(c.down);
  else if (c.up) await page.keyboard.up(c.up);
  else if (c.click) await page.mouse.click(c.click[0], c.click[1], { button: c.button || 'left' });
  else if (c.shot) await page.screenshot({ path: c.shot });
  else if (c.eval) return await page.evaluate(c.eval);
  else if (c.reload) await page.reload();
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
