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
    const k = image.width / innerWidth;
    const d = g.getImageData(0, 0, image.width, image.height).data;
    const counts = { green: 0, red: 0, blue: 0, black: 0, total: 0, differ: 0, uneven: 0 };
    const old = earlier ? atob(earlier.pixels) : null;
    let pixels = '';
    for (let y = 0; y < image.height; y++) {
      for (let x = 0; x < image.width; x++) {
        const i = 4 * (y * image.width + x), r = d[i], gr = d[i + 1], b = d[i + 2];
        const sample = String.fromCharCode(r >> 4 << 4 | gr >> 4, b >> 4);
        const at = pixels.length;
        pixels += sample;
        if (covered.some((c) => x / k >= c.left - 2 && x / k <= c.right + 2 && y / k >= c.top - 2 && y / k <= c.bottom + 2)) continue;
        counts.total++;
        if (gr > 120 && r < 90 && b < 90) counts.green++;
        if (r > 120 && gr < 90 && b < 90) counts.red++;
        if (b > 120 && r < 90 && gr < 90) counts.blue++;
        if (r < 8 && gr < 8 && b < 8) counts.black++;
        if (old && old.substr(at, 2) !== sample) counts.differ++;
        // 2 x 2 blocks of device pixels not of one colour: none on a screen of
        // density 2 where each canvas pixel covers a whole block.
        if (!(x % 2 || y % 2) && [4, 4 * image.width, 4 * image.width + 4]
          .some((o) => d[i + o] !== r || d[i + o + 1] !== gr || d[i + o + 2] !== b)) counts.uneven++;
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

// The page at `url`, or the same page again, once its program runs.
async function open(page, url) {
  await (url ? page.goto(url) : page.reload());
  await page.waitForFunction(() => Module.calledRun);
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

// Bitmaps the page must refuse: not a bitmap, 24 bits per pixel, a header that
// asks for 16384 x 16384 pixels in a file of 1 kB, and a picture of 1 x 1.
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
    { name: 'tiny.bmp', bytes: Buffer.concat([info(1, 1, 8), Buffer.alloc(1024 + 4, 0x40)]) },
  ];
}

const CHECKS = {
  // Green discs on black that move, sharp on a screen of density 2: each canvas
  // pixel covers a block of 2 x 2 device pixels of one colour.
  async animates(page, url) {
    await page.setViewport({ ...SIZE, deviceScaleFactor: 2 });
    await page.goto(url + '?count=30');
    await page.waitForFunction(() => Module.calledRun);
    const seen = await expectAnimating(page, 'default page');
    expect(seen.uneven === 0, `not sharp: ${seen.uneven} blocks of 2 x 2 device pixels uneven`);
  },

  // Each visit its own scatter, even two within a second (at attraction 0 the
  // bodies stay where they fell).
  async 'own-scatter'(page, url) {
    const scatter = async (visit) => {
      await open(page, visit);
      await pause(300);
      return page.$eval('#screen', (c) => c.toDataURL());
    };
    expect(await scatter(url + '?attraction=0') !== await scatter(), 'two visits show the same scatter');
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

  // Bad and hostile values in the address and in storage: the settings each row
  // gives, a notice of a few short lines naming what was refused, a bad stored
  // value replaced in storage, and the page goes on animating.
  async 'bad-address'(page, url) {
    const huge = 'A'.repeat(1000000);
    const rows = [
      { query: '?count=abc&attraction=500&red=2', settings: 'count=51&attraction=10&refresh=5&red=0&blue=0',
        said: ['count=abc', 'attraction=500', 'red=2'] },
      { query: '?count=abc&count=60', settings: 'count=60&attraction=10&refresh=5&red=0&blue=0',
        said: ['count given 2 times; the last one counts: count=60'] },
      { query: `?attraction=${huge}&red=1`, settings: 'count=51&attraction=10&refresh=5&red=1&blue=0',
        said: ['attraction=AAAA', 'longer than any setting; using the default'] },
      { stored: `count=7&attraction=${huge}`, query: '', settings: 'count=7&attraction=10&refresh=5&red=0&blue=0',
        said: ['saved: attraction=AAAA'] },
    ];
    for (const { query, stored, settings, said } of rows) {
      const what = query.slice(0, 40) || 'stored';
      if (stored) await page.evaluate((v) => localStorage.setItem('pendral.settings', v), stored);
      await open(page, url + query);
      const [text, now, kept] = await page.evaluate(() => [document.getElementById('notice').textContent,
        Module.UTF8ToString(Module._pendral_settings()), localStorage.getItem('pendral.settings')]);
      expect(said.every((part) => text.includes(part)) && text.length < 1000 && now === settings && kept === (stored ? settings : null),
        `${what}: settings ${now}, stored ${kept && kept.slice(0, 60)}, notice "${text}"`);
      await expectAnimating(page, what);
    }
  },

  // Slider presses show at once and start one new scene once they stop; a setting
  // changed on the panel is kept over a reload.
  async 'survives-reload'(page, url) {
    await page.goto(url);
    await page.waitForFunction(() => Module.calledRun);
    await page.evaluate((start = Module._pendral_start) => {
      window.starts = 0;
      Module._pendral_start = (w, h) => (window.starts++, start(w, h));
    });
    await page.focus('#count');
    for (let i = 0; i < 5; i++) await page.keyboard.press('ArrowLeft');
    expect(await page.$eval('#count-value', (o) => o.textContent) === '46', 'the shown value does not follow the slider');
    await page.waitForFunction(() => window.starts > 0, { timeout: 5000 });
    await pause(800);
    expect(await page.evaluate(() => window.starts) === 1, 'five presses did not start exactly one scene');
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
  // pictures stay, it goes on animating; a thousand files give a short notice;
  // then a good 8-bit picture is used, and the next drop says what it replaced.
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
    await dropFiles(page, Array(1000).fill(hostileBitmaps()[3]).map((tiny, i) => ({ ...tiny, name: `${i}.bmp` })));
    const many = await notice(page);
    expect(many.includes('997 files left out') && many.includes('0.bmp: not an 8-bit bitmap of at least 4 x 4') &&
      many.split('\n').length <= 5, `the notice for 1000 files: "${many}"`);
    // The red picture as the plain bodies' picture: red discs, no green ones.
    for (const was of ['the built-in picture', 'SPPAT_R2.bmp']) {
      await dropFiles(page, [{ name: 'SPPAT_R2.bmp', bytes: fs.readFileSync(path.join(RES, 'SPPAT_R0.bmp')) }]);
      const said = await notice(page);
      expect(said.includes(`SPPAT_R2.bmp for the plain bodies, in place of ${was}`), `the drop's notice: "${said}"`);
    }
    const now = await lookFor(page, (s) => s.red > 2000 && s.green < 200);
    expect(now.red > 2000 && now.green < 200, `the dropped picture is not used (${now.red} red, ${now.green} green)`);
  },

  // Full screen from the button; the cursor hides; a key ends it, and so does a
  // mouse movement of more than 4 pixels, but not a smaller one. Without the
  // Fullscreen API the field fills the window instead, and a key ends that.
  async 'full-screen'(page, url) {
    await page.goto(url);
    await page.waitForFunction(() => Module.calledRun);
    const enter = async () => {
      await page.click('#fullscreen');
      await page.waitForFunction(() => document.fullscreenElement === document.documentElement, { timeout: 5000 });
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

    await page.evaluateOnNewDocument(() => { delete Element.prototype.requestFullscreen; });
    await open(page);
    await page.click('#fullscreen');
    const panel = () => page.$eval('#panel', (p) => getComputedStyle(p).display);
    expect(await panel() === 'none', 'without the Fullscreen API the panel stays');
    await page.keyboard.press('a');
    expect(await panel() === 'block', 'without the Fullscreen API a key does not end the full window');
  },

  // Every control named in the accessibility tree; axe-core finds nothing with
  // the panel shown or hidden.
  async accessible(page, url) {
    await open(page, url);
    const named = (node) => (['button', 'slider', 'checkbox'].includes(node.role) ? [`${node.role}:${node.name}`] : [])
      .concat(...(node.children || []).map(named));
    const controls = named(await page.accessibility.snapshot()).join();
    expect(controls === 'slider:Bodies,slider:Attraction,slider:Minutes between scatters,checkbox:Red body,' +
      'checkbox:Blue body,button:Choose pictures…,button:Full screen,button:Hide', `the controls: ${controls}`);
    await page.addScriptTag({ path: require.resolve('axe-core/axe.min.js') });
    for (const state of ['shown', 'hidden']) {
      if (state === 'hidden') await page.click('#hide');
      const found = await page.evaluate(() => axe.run().then((r) => r.violations.map((v) => `${v.id} (${v.nodes.map((n) => n.target).join(' ')})`)));
      expect(!found.length, `panel ${state}: axe: ${found.join('; ')}`);
    }
  },

  // On a phone the panel starts folded, and its controls are large enough to
  // touch. Pictures chosen from files; choosing them again takes no more memory.
  async phone(page, url) {
    await page.setViewport({ width: 375, height: 667, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
    await open(page, url);
    const covered = await page.evaluate(() => ['panel', 'show'].map((id) => document.getElementById(id)).filter((e) => !e.hidden)
      .map((e) => e.getBoundingClientRect()).reduce((sum, r) => sum + r.width * r.height, 0) / (innerWidth * innerHeight));
    expect(covered <= 1 / 3, `the panel covers ${Math.round(100 * covered)} % of the screen`);
    await page.tap('#show');
    const small = await page.$$eval('button, input', (all) => all.map((e) => [e.id, e.getBoundingClientRect()])
      .filter(([, r]) => r.width && (r.width < 24 || r.height < 24)).map(([id, r]) => `${id} ${r.width}x${r.height}`));
    expect(!small.length, `controls under 24 px: ${small}`);
    // The red picture's header and palette, for a picture of 3000 x 3000 pixels.
    const big = Buffer.concat([fs.readFileSync(path.join(RES, 'SPPAT_R0.bmp')).subarray(0, 1078), Buffer.alloc(9e6, 1)]);
    big.writeInt32LE(3000, 18);
    big.writeInt32LE(3000, 22);
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'pendral-pictures-'));
    const files = ['a', 'b', 'c'].map((name) => path.join(dir, `${name}.bmp`));
    files.forEach((file) => fs.writeFileSync(file, big));
    const heap = [];
    for (const was of ['the built-in picture', 'a.bmp']) {
      await (await page.$('#pictures')).uploadFile(...files);
      await page.waitForFunction((was) => document.getElementById('notice').textContent
        .includes(`a.bmp for the red body, in place of ${was}`), { timeout: 10000 }, was);
      heap.push(await page.evaluate(() => Module.HEAPU8.length));
    }
    fs.rmSync(dir, { recursive: true, force: true });
    expect(heap[1] === heap[0], `choosing the pictures again took more memory: ${heap}`);
  },

  // After one visit the page opens and animates without its server, as it does
  // from a file; the browser can install it, and the manifest's icons are there
  // in their sizes.
  async offline(page, url, dir, server) {
    await open(page, url + '?count=30');
    await page.waitForFunction(() => navigator.serviceWorker.controller, { timeout: 10000 });
    const icons = await page.evaluate(async () => Promise.all((await (await fetch('manifest.webmanifest')).json()).icons
      .map(async (icon) => {
        const image = await createImageBitmap(await (await fetch(icon.src)).blob());
        return `${icon.sizes}=${image.width}x${image.height}`;
      })));
    expect(icons.join() === '192x192=192x192,512x512=512x512', `the manifest's icons: ${icons}`);
    const { installabilityErrors } = await (await page.createCDPSession()).send('Page.getInstallabilityErrors');
    expect(!installabilityErrors.length, `not installable: ${JSON.stringify(installabilityErrors)}`);
    server.close();
    server.closeAllConnections();
    await open(page);
    await expectAnimating(page, 'offline');
    await open(page, `file://${path.resolve(dir)}/index.html?count=30`);
    await expectAnimating(page, 'opened from a file');
  },

  // A window wider than the back buffer's limit: the field keeps 16384 pixels,
  // says so, and animates. With memory for the canvas but not for the rest of
  // the scene, the page says so; with memory again it animates.
  async 'field-size'(page, url) {
    await page.setViewport({ width: 17000, height: 200 });
    await open(page, url + '?count=100');
    expect(await page.$eval('#screen', (c) => c.width) === 16384, 'the field is not 16384 pixels wide');
    expect((await notice(page)).includes('at most 16384 pixels'), 'no notice of the field\'s limit');
    await page.$eval('#hide', (b) => b.click());
    await expectAnimating(page, 'a window 17000 pixels wide');
    const said = await page.evaluate(() => {
      const held = [], canvas = document.getElementById('screen');
      Module._pendral_forget_pictures(0);  // the scene's memory free, before it is taken
      const room = Module._malloc(canvas.width * canvas.height * 4 + 65536);
      for (let size = 16 << 20; size >= 16; size >>= 2) for (let at; (at = Module._malloc(size));) held.push(at);
      Module._free(room);
      window.dispatchEvent(new Event('resize'));
      held.forEach((at) => Module._free(at));
      return document.getElementById('notice').textContent;
    });
    expect(said.includes('No animation: not enough memory for a field of 16384 x 200'), `without memory: "${said}"`);
    await page.evaluate(() => window.dispatchEvent(new Event('resize')));
    await expectAnimating(page, 'with memory again');
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
    await check(page, url, dir, server);
  } catch (error) {
    problems.push(error.message);
  } finally {
    await browser.close();
    server.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  for (const p of problems) console.error(`${name}: ${p.length > 400 ? p.slice(0, 400) + '…' : p}`);
  if (!problems.length) console.log(`${name}: passed`);
  return problems.length ? 1 : 0;
}

main().then((status) => process.exit(status), (error) => {
  console.error(error);
  process.exit(1);
});
