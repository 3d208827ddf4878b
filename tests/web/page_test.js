// The browser build's page in the system's Chromium (headless, through
// puppeteer-core): serves the build's folder on the loopback interface, opens the
// page in a fresh profile and runs one check.
//
//   node tests/web/page_test.js CHECK BUILD_DIR
//
// CHECK is one of the names in CHECKS below. Every check also fails on a console
// error, an uncaught exception or a failed request of the page.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');
const { serve } = require('../../tools/web/serve.js');

const CHROMIUM = process.env.PENDRAL_CHROMIUM || '/usr/bin/chromium';
const SIZE = { width: 640, height: 480 };
const RES = path.join(__dirname, '../../res');

// Counts of the colours in a screenshot (decoded by the page itself), and the
// pixels that differ from an earlier one; what covers the field is left out.
async function look(page, earlier) {
  const png = await page.screenshot({ encoding: 'base64' });
  return page.evaluate(async (png, earlier) => {
    const image = new Image();
    image.src = 'data:image/png;base64,' + png;
    await image.decode();
    const c = new OffscreenCanvas(image.width, image.height);
    const g = c.getContext('2d');
    g.drawImage(image, 0, 0);
    // The panel, the notice and the settings button are not the field.
    const covered = ['panel', 'notice', 'show'].map((id) => document.getElementById(id))
      .filter((e) => !e.hidden).map((e) => e.getBoundingClientRect());
    const d = g.getImageData(0, 0, image.width, image.height).data;
    const counts = { green: 0, red: 0, blue: 0, black: 0, total: 0, differ: 0 };
    const old = earlier ? atob(earlier.pixels) : null;
    let pixels = '';
    for (let y = 0; y < image.height; y++) {
      for (let x = 0; x < image.width; x++) {
        const i = 4 * (y * image.width + x), r = d[i], gr = d[i + 1], b = d[i + 2];
        const sample = String.fromCharCode(r >> 4 << 4 | gr >> 4, b >> 4);
        const at = pixels.length;
        pixels += sample;
        if (covered.some((c) => x >= c.left - 2 && x <= c.right + 2 && y >= c.top - 2 && y <= c.bottom + 2)) continue;
        counts.total++;
        if (gr > 120 && r < 90 && b < 90) counts.green++;
        if (r > 120 && gr < 90 && b < 90) counts.red++;
        if (b > 120 && r < 90 && gr < 90) counts.blue++;
        if (r < 8 && gr < 8 && b < 8) counts.black++;
        if (old && old.substr(at, 2) !== sample) counts.differ++;
      }
    }
    counts.pixels = btoa(pixels);
    return counts;
  }, png, earlier || null);
}

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function expect(condition, what) {
  if (!condition) throw new Error(what);
}

// Green discs on black: most of the field black, some green, and it moves.
async function expectAnimating(page, what) {
  const first = await look(page);
  await pause(600);
  const second = await look(page, first);
  expect(second.black > 0.6 * second.total, `${what}: the field is not black (${second.black} of ${second.total})`);
  expect(second.green > 200, `${what}: no green discs (${second.green} green pixels)`);
  expect(second.differ > 50, `${what}: nothing moved in 600 ms (${second.differ} pixels changed)`);
  return second;
}

// A look that shows what `wanted` asks for, within a few seconds: a body may be
// partly off the field at one moment.
async function lookFor(page, wanted) {
  let seen;
  for (let attempt = 0; attempt < 6; attempt++) {
    seen = await look(page);
    if (wanted(seen)) break;
    await pause(400);
  }
  return seen;
}

async function notice(page) {
  return page.$eval('#notice', (n) => (n.hidden ? '' : n.textContent));
}

// A drop of files (name, bytes) on the page, as the browser makes it for files
// dragged from the desktop.
async function dropFiles(page, files) {
  await page.evaluate((files) => {
    const transfer = new DataTransfer();
    for (const f of files) transfer.items.add(new File([Uint8Array.from(atob(f.data), (ch) => ch.charCodeAt(0))], f.name));
    document.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, files.map((f) => ({ name: f.name, data: Buffer.from(f.bytes).toString('base64') })));
  await pause(500);
}

// Bitmaps the page must refuse: not a bitmap, 24 bits per pixel, and a header that
// asks for 16384 x 16384 pixels in a file of 1 kB.
function hostileBitmaps() {
  const info = (width, height, bits) => {
    const b = Buffer.alloc(54);
    b.write('BM', 0);
    b.writeUInt32LE(54, 10);
    b.writeUInt32LE(40, 14);
    b.writeInt32LE(width, 18);
    b.writeInt32LE(height, 22);
    b.writeUInt16LE(1, 26);
    b.writeUInt16LE(bits, 28);
    return b;
  };
  const noise = Buffer.alloc(3000);
  for (let i = 0; i < noise.length; i++) noise[i] = (i * 7919 + 13) & 0xff;
  return [
    { name: 'noise.bmp', bytes: noise },
    { name: 'truecolour.bmp', bytes: Buffer.concat([info(64, 64, 24), Buffer.alloc(64 * 64 * 3, 0x80)]) },
    { name: 'short.bmp', bytes: Buffer.concat([info(16384, 16384, 8), Buffer.alloc(1024 + 100, 0x11)]) },
  ];
}

const CHECKS = {
  // Green discs on black that move between two screenshots.
  async animates(page, url) {
    await page.goto(url + '?count=30');
    await page.waitForFunction(() => Module.calledRun);
    await expectAnimating(page, 'default page');
  },

  // ?red=1&blue=1&count=3 shows the red and the blue body.
  async 'red-and-blue'(page, url) {
    await page.goto(url + '?red=1&blue=1&count=3');
    await page.waitForFunction(() => Module.calledRun);
    await page.click('#hide');
    const seen = await lookFor(page, (s) => s.red > 300 && s.blue > 150);
    expect(seen.red > 300, `no red body (${seen.red} red pixels)`);
    expect(seen.blue > 150, `no blue body (${seen.blue} blue pixels)`);
    expect(await page.$eval('#count', (i) => i.value) === '3', 'the panel does not show 3 bodies');
  },

  // Bad address values: the defaults, a notice, and the page goes on animating.
  async 'bad-address'(page, url) {
    await page.goto(url + '?count=abc&attraction=500&red=2');
    await page.waitForFunction(() => Module.calledRun);
    const text = await notice(page);
    for (const key of ['count=abc', 'attraction=500', 'red=2'])
      expect(text.includes(key), `the notice does not name ${key}: "${text}"`);
    const settings = await page.evaluate(() => Module.UTF8ToString(Module._pendral_settings()));
    expect(settings === 'count=51&attraction=10&refresh=5&red=0&blue=0', `not the defaults: ${settings}`);
    await expectAnimating(page, 'after bad address values');
  },

  // A setting changed on the panel is kept over a reload.
  async 'survives-reload'(page, url) {
    await page.goto(url);
    await page.waitForFunction(() => Module.calledRun);
    await page.$eval('#count', (input) => {
      input.value = '7';
      input.dispatchEvent(new Event('change', { bubbles: true }));
    });
    await page.click('#blue');
    await page.reload();
    await page.waitForFunction(() => Module.calledRun);
    await page.click('#hide');
    const settings = await page.evaluate(() => Module.UTF8ToString(Module._pendral_settings()));
    expect(settings === 'count=7&attraction=10&refresh=5&red=0&blue=1', `after the reload: ${settings}`);
    expect(await page.$eval('#blue', (i) => i.checked), 'the blue box is not ticked after the reload');
    const seen = await lookFor(page, (s) => s.blue > 150);
    expect(seen.blue > 150, `no blue body after the reload (${seen.blue} blue pixels)`);
  },

  // Hostile bitmaps dropped on the page: refused with a notice, the built-in
  // pictures stay, it goes on animating; then a good 8-bit picture is used.
  async 'dropped-bitmaps'(page, url) {
    await page.goto(url + '?count=30');
    await page.waitForFunction(() => Module.calledRun);
    await dropFiles(page, hostileBitmaps());
    await page.waitForFunction(() => !document.getElementById('notice').hidden, { timeout: 5000 });
    const text = await notice(page);
    for (const name of ['noise.bmp', 'truecolour.bmp', 'short.bmp'])
      expect(text.includes(name), `the notice does not name ${name}: "${text}"`);
    const seen = await expectAnimating(page, 'after hostile bitmaps');
    expect(seen.red < 50, 'red pixels without a red body');
    // The red picture as the plain bodies' picture: red discs, no green ones.
    await dropFiles(page, [{ name: 'SPPAT_R2.bmp', bytes: fs.readFileSync(path.join(RES, 'SPPAT_R0.bmp')) }]);
    const now = await lookFor(page, (s) => s.red > 2000 && s.green < 200);
    expect(now.red > 2000 && now.green < 200, `the dropped picture is not used (${now.red} red, ${now.green} green)`);
  },

  // Full screen from the button; the cursor hides; a key ends it, and so does a
  // mouse movement of more than 4 pixels, but not a smaller one.
  async 'full-screen'(page, url) {
    await page.goto(url);
    await page.waitForFunction(() => Module.calledRun);
    const enter = async () => {
      await page.click('#fullscreen');
      await page.waitForFunction(() => document.fullscreenElement === document.getElementById('screen'), { timeout: 5000 });
    };
    const inFullScreen = () => page.evaluate(() => document.fullscreenElement !== null);
    await enter();
    const cursor = await page.$eval('#screen', (c) => getComputedStyle(c).cursor);
    expect(cursor === 'none', `the cursor shows in full screen (${cursor})`);
    await page.keyboard.press('a');
    await page.waitForFunction(() => !document.fullscreenElement, { timeout: 5000 });

    await enter();
    await page.mouse.move(300, 200);
    await page.mouse.move(304, 196);
    await pause(200);
    expect(await inFullScreen(), 'a movement of 4 pixels ended full screen');
    await page.mouse.move(309, 196);
    await page.waitForFunction(() => !document.fullscreenElement, { timeout: 5000 });
  },
};

async function main() {
  const [name, dir] = process.argv.slice(2);
  const check = CHECKS[name];
  if (!check || !dir) {
    console.error(`usage: node page_test.js {${Object.keys(CHECKS).join('|')}} BUILD_DIR`);
    return 2;
  }
  const { server, url } = await serve(dir);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'pendral-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-dev-shm-usage', '--no-first-run', '--disable-gpu', `--window-size=${SIZE.width},${SIZE.height}`],
  });
  const problems = [];
  try {
    const page = await browser.newPage();
    await page.setViewport(SIZE);
    page.on('console', (m) => { if (m.type() === 'error') problems.push(`console error: ${m.text()}`); });
    page.on('pageerror', (e) => problems.push(`uncaught: ${e.message}`));
    page.on('requestfailed', (r) => problems.push(`request failed: ${r.url()}`));
    page.on('response', (r) => { if (r.status() >= 400) problems.push(`HTTP ${r.status()}: ${r.url()}`); });
    await check(page, url);
  } catch (error) {
    problems.push(error.message);
  } finally {
    await browser.close();
    server.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  for (const p of problems) console.error(`${name}: ${p}`);
  if (!problems.length) console.log(`${name}: passed`);
  return problems.length ? 1 : 0;
}

main().then((status) => process.exit(status), (error) => {
  console.error(error);
  process.exit(1);
});
