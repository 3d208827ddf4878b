// The browser build's page in Chromium, Firefox ESR and WebKitGTK (tools/web/
// engines.js): serves the build's folder on the loopback interface, opens the
// page in a fresh tab of the engine and runs one check.
//
//   node tests/web/page_test.js CHECK ENGINE BUILD_DIR
//   node tests/web/page_test.js --list      the "CHECK ENGINE" pairs to run
//
// CHECKS below is the table of checks over engines. Every check also fails on an
// HTTP error of the page's server and, where the engine reports them, on a
// console error, an uncaught exception or a failed request.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { serve } = require('../../tools/web/serve.js');
const { ENGINES, launch } = require('../../tools/web/engines.js');

const SIZE = { width: 640, height: 480 };
const RES = path.join(__dirname, '../../res');
const PLACES = ['red body', 'blue body', 'plain bodies'];
// The exit status of a check that its engine cannot do (ctest's SKIP_RETURN_CODE).
const SKIPPED = 77;

// A slider moved with the keyboard starts a new scene once its presses stop for this long.
const SLIDER_DELAY_MS = 400;

// Counts of the colours in a screenshot (decoded by the page itself), and the
// pixels that differ from an earlier one; what covers the field is left out.
async function look(tab, earlier) {
  const png = await tab.screenshot();
  return tab.evaluate(async (png, earlier) => {
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

// The bound of every wait for what the page does: it only ends a wait that
// failed, so it leaves room for a busy machine (a slow engine, a slow reload).
const BOUND_MS = 30000;

// Until `fn` (run in the page with `arg`) gives a true value.
async function waitFor(tab, fn, arg = null, timeout = BOUND_MS) {
  for (const end = Date.now() + timeout; !await tab.evaluate(fn, arg);) {
    if (Date.now() > end) throw new Error(`waited ${timeout} ms for ${String(fn).slice(0, 120)}`);
    await pause(100);
  }
}

// Green discs on black: most of the field black, some green, and it moves: the
// first look with discs, then one where they moved.
async function expectAnimating(tab, what) {
  const first = await lookFor(tab, (s) => s.green > 200);
  expect(first.green > 200, `${what}: no green discs (${first.green} green pixels)`);
  const second = await lookFor(tab, (s) => s.green > 200 && s.differ > 50, first);
  expect(second.black > 0.6 * second.total, `${what}: the field is not black (${second.black} of ${second.total})`);
  expect(second.green > 200, `${what}: no green discs (${second.green} green pixels)`);
  expect(second.differ > 50, `${what}: nothing moved (${second.differ} pixels changed)`);
  return second;
}

// A look that shows what `wanted` asks for, or the last look within the bound:
// a body may be partly off the field at one moment. Pixels that differ are
// counted against `earlier` when given.
async function lookFor(tab, wanted, earlier) {
  for (const end = Date.now() + BOUND_MS; ;) {
    const seen = await look(tab, earlier);
    if (wanted(seen) || Date.now() > end) return seen;
    await pause(400);
  }
}

// The page at `url`, or the same page again, once its program runs.
async function open(tab, url) {
  await (url ? tab.goto(url) : tab.reload());
  await waitFor(tab, () => window.Module && Module.calledRun);
}

const settings = (tab) => tab.evaluate(() => Module.UTF8ToString(Module._pendral_settings()));

function notice(tab) {
  return tab.evaluate(() => { const n = document.getElementById('notice'); return n.hidden ? '' : n.textContent; });
}

// The notice's lines, and then no notice.
async function takeNotice(tab) {
  await waitFor(tab, () => !document.getElementById('notice').hidden);
  return tab.evaluate(() => {
    const n = document.getElementById('notice');
    n.hidden = true;
    return n.textContent.split('\n');
  });
}

// A drop of files on the page, as the browser makes it for files dragged from
// the desktop: each { name, bytes }, or { name, size } for that many zero bytes.
function drop(tab, files) {
  return tab.evaluate((files) => {
    document.getElementById('notice').hidden = true;
    const transfer = new DataTransfer();
    for (const f of files) {
      transfer.items.add(new File([f.data ? Uint8Array.from(atob(f.data), (ch) => ch.charCodeAt(0)) : new Uint8Array(f.size)], f.name));
    }
    document.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, files.map((f) => ({ name: f.name, size: f.size, data: f.bytes && Buffer.from(f.bytes).toString('base64') })));
}

// A drop, then `during` in the page; gives the lines of the notice the drop brings.
async function dropFiles(tab, files, during = null) {
  await drop(tab, files);
  if (during) await tab.evaluate(during);
  return takeNotice(tab);
}

// From now on the page's reads of the files named wait until it calls
// held[name](); handedOver counts the files handed over to the program.
function holdReads(tab, names) {
  return tab.evaluate((names, read = Blob.prototype.arrayBuffer, take = Module._pendral_take_picture) => {
    window.held = {};
    window.handedOver = 0;
    Blob.prototype.arrayBuffer = function () {
      return !names.includes(this.name) ? read.call(this) : new Promise((resolve) => { held[this.name] = () => resolve(read.call(this)); });
    };
    Module._pendral_take_picture = (...args) => (handedOver++, take(...args));
  }, names);
}

// The files chosen with the page's button (written to a folder of their own).
async function chooseFiles(tab, files) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'pendral-pictures-'));
  const paths = files.map((f) => path.join(dir, f.name));
  files.forEach((f, i) => fs.writeFileSync(paths[i], f.bytes));
  await tab.evaluate(() => { document.getElementById('notice').hidden = true; });
  try {
    await tab.chooseFiles('#pictures', paths);
    return await takeNotice(tab);
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

const picture = (name) => fs.readFileSync(path.join(RES, `${name}.bmp`));

// An 8-bit bitmap stored top row first (a negative height), as image editors write it.
function topDown(bitmap) {
  const width = bitmap.readInt32LE(18), height = bitmap.readInt32LE(22), at = bitmap.readUInt32LE(10);
  const stride = (width + 3) & ~3, flipped = Buffer.from(bitmap);
  flipped.writeInt32LE(-height, 22);
  for (let y = 0; y < height; y++) bitmap.copy(flipped, at + (height - 1 - y) * stride, at + y * stride, at + (y + 1) * stride);
  return flipped;
}
// The same 8-bit bitmap compressed with RLE8 as encoders write it: runs of up to
// 255 equal pixels, every row ended, then the end mark.
function rle8(bitmap) {
  const width = bitmap.readInt32LE(18), height = bitmap.readInt32LE(22), at = bitmap.readUInt32LE(10);
  const stride = (width + 3) & ~3, stream = [];
  for (let y = 0; y < height; y++) {
    const row = bitmap.subarray(at + y * stride, at + y * stride + width);
    for (let x = 0, n; x < width; x += n) {
      for (n = 1; x + n < width && n < 255 && row[x + n] === row[x]; n++);
      stream.push(n, row[x]);
    }
    stream.push(0, 0);
  }
  stream.push(0, 1);
  const packed = Buffer.concat([bitmap.subarray(0, at), Buffer.from(stream)]);
  packed.writeUInt32LE(packed.length, 2);
  packed.writeUInt32LE(1, 30);
  packed.writeUInt32LE(stream.length, 34);
  return packed;
}
const refused = ({ name, why }, place) => `${name}: ${why}; the built-in picture stays for the ${PLACES[place]}`;

// Bitmaps the page must refuse, each with the reason it gives: not a bitmap, 24
// bits per pixel, a header that asks for 16384 x 16384 pixels in a file of 1 kB,
// a picture of 1 x 1, one of 64 x 2 (bodies as slivers), one compressed with
// RLE4 (only RLE8 is decoded), one whose rows are cut short, and an RLE8 stream of
// 2 bytes that asks for 16384 x 16384 pixels.
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
  const size = 'pixels; a picture has 4 to 16384 pixels on a side';
  const rle4 = Buffer.concat([info(64, 64, 8), Buffer.alloc(1024 + 100, 0x11)]);
  rle4.writeUInt32LE(2, 30);
  const hugeRle = Buffer.concat([info(16384, 16384, 8), Buffer.alloc(1024), Buffer.from([0, 1])]);
  hugeRle.writeUInt32LE(1, 30);
  const most = 'pixels; a picture has at most 4096 x 4096 (16777216) pixels';
  return [
    { name: 'noise.bmp', bytes: noise, why: 'not a bitmap' },
    { name: 'truecolour.bmp', bytes: Buffer.concat([info(64, 64, 24), Buffer.alloc(64 * 64 * 3, 0x80)]),
      why: 'a bitmap of 24 bits per pixel; only 8-bit ones are used' },
    { name: 'short.bmp', bytes: Buffer.concat([info(16384, 16384, 8), Buffer.alloc(1024 + 100, 0x11)]),
      why: `16384 x 16384 ${most}` },
    { name: 'tiny.bmp', bytes: Buffer.concat([info(1, 1, 8), Buffer.alloc(1024 + 4, 0x40)]), why: `1 x 1 ${size}` },
    { name: 'flat.bmp', bytes: Buffer.concat([info(64, 2, 8), Buffer.alloc(1024 + 128, 0x40)]), why: `64 x 2 ${size}` },
    { name: 'rle4.bmp', bytes: rle4, why: 'compressed with RLE4; only uncompressed or bottom-up RLE8 bitmaps are used' },
    { name: 'cut.bmp', bytes: Buffer.concat([info(64, 64, 8), Buffer.alloc(1000, 0x40)]),
      why: 'the file ends before its pixel rows do' },
    { name: 'huge-rle.bmp', bytes: hugeRle, why: `16384 x 16384 ${most}` },
  ];
}

// The red picture's header and palette, for a picture of 3000 x 3000 pixels.
function bigPicture() {
  const big = Buffer.concat([picture('SPPAT_R0').subarray(0, 1078), Buffer.alloc(9e6, 1)]);
  big.writeInt32LE(3000, 18);
  big.writeInt32LE(3000, 22);
  return big;
}

// Checks over engines: each runs in every engine unless `engines` names fewer
// (a rule of the program that one engine shows, or a check that needs
// Chromium's DevTools protocol); `skip` gives the reason an engine cannot do it.
// WebKitWebDriver passes on no console messages: in WebKitGTK a check sees the
// page's errors only by what they break.
const CHROMIUM = ['chromium'];
const CHECKS = {
  // Green discs on black that move, and the panel's buttons work (the page's
  // script ran to its end).
  animates: { async run(tab, { url }) {
    await open(tab, url + '?count=30');
    await expectAnimating(tab, 'default page');
    await tab.click('#hide');
    const shown = await tab.evaluate(() => ['panel', 'show'].map((id) => document.getElementById(id).hidden).join());
    expect(shown === 'true,false', `Hide did not fold the panel (hidden: ${shown})`);
  } },

  // Sharp on dense screens: each canvas pixel covers a block of whole device
  // pixels, as many as make one CSS pixel rounded to the nearest (2 x 2 at
  // densities 2, 1.75 and 1.5, one at 1.25), all of one colour.
  sharp: { skip: { webkit: 'WebKitWebDriver emulates no screen density' }, async run(tab, { url }) {
    for (const [scale, width, block] of [[2, 640, 2], [1.75, 560, 2], [1.5, 480, 2], [1.25, 800, 1]]) {
      await tab.setViewport({ ...SIZE, deviceScaleFactor: scale });
      await open(tab, url + '?count=30');
      const seen = await expectAnimating(tab, `at density ${scale}`);
      const canvas = await tab.evaluate(() => document.getElementById('screen').width);
      expect(canvas === width && (block === 1 || seen.uneven === 0),
        `at density ${scale}: a canvas ${canvas} pixels wide (not ${width}), ${seen.uneven} blocks of 2 x 2 device pixels uneven`);
    }
  } },

  // Each visit its own scatter, even two within a second (at attraction 0 the
  // bodies stay where they fell).
  'own-scatter': { engines: CHROMIUM, async run(tab, { url }) {
    const scatter = async (visit) => {
      await open(tab, visit);
      const seen = await lookFor(tab, (s) => s.green > 200);
      expect(seen.green > 200, `${visit || "the reload"}: no green discs (${seen.green} green pixels)`);
      return tab.evaluate(() => document.getElementById('screen').toDataURL());
    };
    expect(await scatter(url + '?attraction=0') !== await scatter(), 'two visits show the same scatter');
  } },

  // ?red=1&blue=1&count=3 shows the red and the blue body.
  'red-and-blue': { async run(tab, { url }) {
    await open(tab, url + '?red=1&blue=1&count=3');
    await tab.click('#hide');
    const seen = await lookFor(tab, (s) => s.red > 300 && s.blue > 150);
    expect(seen.red > 300, `no red body (${seen.red} red pixels)`);
    expect(seen.blue > 150, `no blue body (${seen.blue} blue pixels)`);
    expect(await tab.evaluate(() => document.getElementById('count').value) === '3', 'the panel does not show 3 bodies');
  } },

  // Bad and hostile values in the address and in storage: the settings each row
  // gives, a notice of a few short lines naming what was refused, a bad stored
  // value replaced in storage, and the page goes on animating.
  'bad-address': { async run(tab, { url, engine }) {
    const huge = 'A'.repeat(1000000);
    // Firefox, driven through WebDriver BiDi, closes a tab whose address is a
    // million characters long: a hundred thousand there.
    const long = engine === 'firefox' ? huge.slice(0, 100000) : huge;
    const rows = [
      { query: '?count=abc&attraction=500&red=2', settings: 'count=51&attraction=10&refresh=5&red=0&blue=0',
        said: ['count=abc', 'attraction=500', 'red=2'] },
      { query: '?count=abc&count=60', settings: 'count=60&attraction=10&refresh=5&red=0&blue=0',
        said: ['count given 2 times; the last one counts: count=60'] },
      { query: `?attraction=${long}&red=1`, settings: 'count=51&attraction=10&refresh=5&red=1&blue=0',
        said: ['attraction=AAAA', 'longer than any setting; using the default'] },
      // Six problems: the notice's five lines are the first four and how many more.
      { query: '?count=a&count=b&attraction=c&refresh=d&red=e&blue=f', settings: 'count=51&attraction=10&refresh=5&red=0&blue=0',
        said: [], lines: ['address: count given 2 times', 'address: count=b: ', 'address: attraction=c: ', 'address: refresh=d: ',
          'and 2 more'] },
      { stored: `count=7&attraction=${huge}`, query: '', settings: 'count=7&attraction=10&refresh=5&red=0&blue=0',
        said: ['saved: attraction=AAAA'] },
    ];
    for (const { query, stored, settings, said, lines } of rows) {
      const what = query.slice(0, 40) || 'stored';
      if (stored) await tab.evaluate((v) => localStorage.setItem('pendral.settings', v), stored);
      await open(tab, url + query);
      const [text, now, kept] = await tab.evaluate(() => [document.getElementById('notice').textContent,
        Module.UTF8ToString(Module._pendral_settings()), localStorage.getItem('pendral.settings')]);
      const shown = text.split('\n');
      expect(said.every((part) => text.includes(part)) && text.length < 1000 && now === settings && kept === (stored ? settings : null) &&
        (!lines || (shown.length === lines.length && lines.every((line, i) => shown[i].startsWith(line)))),
        `${what}: settings ${now}, stored ${kept && kept.slice(0, 60)}, notice "${text}"`);
      await expectAnimating(tab, what);
    }
  } },

  // Slider presses show at once and start one new scene once they stop for the
  // slider's delay (on a busy machine the presses themselves may come further
  // apart than that, and a scene start between them); a setting
  // changed on the panel shows in the address (over the one the address gave)
  // and is kept over a reload, and so is a slider moved just before the page
  // was left.
  'survives-reload': { async run(tab, { url }) {
    await open(tab, url + '?count=51');
    await tab.evaluate((start = Module._pendral_start) => {
      window.presses = [];
      window.starts = [];
      document.addEventListener('keydown', () => presses.push(performance.now()), true);
      Module._pendral_start = (w, h) => (starts.push(performance.now()), start(w, h));
      document.getElementById('count').focus();
    });
    for (let i = 0; i < 5; i++) await tab.press('ArrowLeft');
    expect(await tab.evaluate(() => document.getElementById('count-value').textContent) === '46',
      'the shown value does not follow the slider');
    await waitFor(tab, () => starts.some((t) => t > presses[presses.length - 1]));
    await pause(2 * SLIDER_DELAY_MS);  // room for a wrong second start
    const [presses, starts] = await tab.evaluate(() => [presses, starts]);
    const soon = starts.filter((t) => t - Math.max(...presses.filter((p) => p < t)) < SLIDER_DELAY_MS - 20);
    expect(presses.length === 5 && !soon.length && starts.filter((t) => t > presses[4]).length === 1,
      `scenes started at ${starts.map(Math.round)} ms for presses at ${presses.map(Math.round)} ms: ` +
      `not one once they stopped for ${SLIDER_DELAY_MS} ms`);
    await tab.evaluate(() => {
      const input = document.getElementById('count');
      input.value = '7';
      input.dispatchEvent(new Event('change', { bubbles: true }));
    });
    await tab.click('#blue');
    const address = await tab.evaluate(() => location.search);
    expect(address === '?count=7&attraction=10&refresh=5&red=0&blue=1', `the address after the panel's changes: ${address}`);
    await open(tab);
    await tab.click('#hide');
    const now = await settings(tab);
    expect(now === 'count=7&attraction=10&refresh=5&red=0&blue=1', `after the reload: ${now}`);
    expect(await tab.evaluate(() => document.getElementById('blue').checked), 'the blue box is not ticked after the reload');
    const seen = await lookFor(tab, (s) => s.blue > 150);
    expect(seen.blue > 150, `no blue body after the reload (${seen.blue} blue pixels)`);
    await tab.click('#show');
    await tab.evaluate(() => document.getElementById('count').focus());
    await tab.press('ArrowLeft');
    await open(tab);
    const left = await settings(tab);
    expect(left === 'count=6&attraction=10&refresh=5&red=0&blue=1', `a slider moved just before a reload: ${left}`);
  } },

  // Pictures dropped on the page: hostile ones refused, each by name and reason,
  // while it goes on animating; a scene started while some files are still read
  // loads none of them before their check (the short one would take 256 MB);
  // a thousand files give a short notice; a good picture is
  // used and the next says what it replaced; of two files named for one place
  // the second is left out; a file that fails gives its place the built-in
  // picture, whatever the files after it do.
  'dropped-bitmaps': { async run(tab, { url }) {
    await open(tab, url + '?count=30');
    const hostile = hostileBitmaps();
    for (const files of [hostile.slice(0, 3), hostile.slice(3, 6), hostile.slice(6)]) {
      const said = await dropFiles(tab, files);
      const want = files.map(refused);
      expect(said.join('\n') === want.join('\n'), `hostile bitmaps: the notice "${said.join(' | ')}"`);
    }
    const seen = await expectAnimating(tab, 'after hostile bitmaps');
    expect(seen.red < 50, 'red pixels without a red body');
    const heap = await tab.evaluate((read = Blob.prototype.arrayBuffer, take = Module._pendral_take_picture) => {
      Blob.prototype.arrayBuffer = function () {
        return this.name !== 'slow.bmp' ? read.call(this) : new Promise((resolve) => { window.letGo = () => resolve(read.call(this)); });
      };
      Module._pendral_take_picture = (...args) => (window.handedOver = true, take(...args));
      return Module.HEAPU8.length;
    });
    const slow = await dropFiles(tab, [hostile[2], { name: 'slow.bmp', bytes: picture('SPPAT_R1') }], async () => {
      while (!window.handedOver || !window.letGo) await new Promise((resolve) => setTimeout(resolve, 20));
      window.dispatchEvent(new Event('resize'));
      window.letGo();
    });
    const grown = await tab.evaluate((heap) => Module.HEAPU8.length - heap, heap);
    expect(slow.join('\n') === [refused(hostile[2], 0), 'slow.bmp for the blue body, in place of the built-in picture'].join('\n') &&
      grown === 0, `a scene started during the reads: the heap grew by ${grown} bytes; the notice "${slow.join(' | ')}"`);
    const many = await dropFiles(tab, Array(1000).fill(hostile[3]).map((tiny, i) => ({ ...tiny, name: `${i}.bmp` })));
    expect(many.join('\n') === ['997 files left out: only three pictures are used', ...[0, 1, 2].map((place) =>
      refused({ ...hostile[3], name: `${place}.bmp` }, place))].join('\n'), `the notice for 1000 files: "${many.join(' | ')}"`);
    // The red picture as the plain bodies' picture: red discs, no green ones; the
    // second time stored top row first, the third compressed with RLE8 (its stream
    // shorter than its rows).
    for (const [was, bytes] of [['the built-in picture', picture('SPPAT_R0')], ['SPPAT_R2.bmp', topDown(picture('SPPAT_R0'))],
      ['SPPAT_R2.bmp', rle8(picture('SPPAT_R0'))]]) {
      const said = await dropFiles(tab, [{ name: 'SPPAT_R2.bmp', bytes }]);
      expect(said.join() === `SPPAT_R2.bmp for the plain bodies, in place of ${was}`, `the drop's notice: "${said}"`);
    }
    const red = await lookFor(tab, (s) => s.red > 2000 && s.green < 200);
    expect(red.red > 2000 && red.green < 200, `the dropped picture is not used (${red.red} red, ${red.green} green)`);
    const said = await dropFiles(tab, [{ name: 'SPPAT_R2.bmp', size: 17 << 20 },
      { name: 'SPPAT_R0.bmp', bytes: picture('SPPAT_R0') }, { name: 'sppat_r0.bmp', bytes: picture('SPPAT_R1') }]);
    expect(said.join('\n') === ['sppat_r0.bmp left out: SPPAT_R0.bmp is the picture for the red body',
      'SPPAT_R2.bmp: too large for a picture; the built-in picture stays for the plain bodies',
      'SPPAT_R0.bmp for the red body, in place of the built-in picture'].join('\n'), `the notice: "${said.join(' | ')}"`);
    const green = await lookFor(tab, (s) => s.green > 2000 && s.red < 50);
    expect(green.green > 2000 && green.red < 50, `the plain bodies are not the built-in ones again (${green.red} red, ${green.green} green)`);
  } },

  // Two drops that overlap, both naming the red body: the first has handed its
  // red picture over and still reads its blue one when the second comes, whose
  // file (too small for a picture) is read after the first drop's check. The
  // first leaves the red body to the second and says so; the second names its
  // own file's refusal.
  'overlapping-drops': { async run(tab, { url }) {
    await open(tab, url + '?count=30');
    const tiny = { ...hostileBitmaps()[3], name: 'sppat_r0.bmp' };
    await holdReads(tab, ['blue.bmp', tiny.name]);
    await drop(tab, [{ name: 'SPPAT_R0.bmp', bytes: picture('SPPAT_R1') }, { name: 'blue.bmp', bytes: picture('SPPAT_R1') }]);
    await waitFor(tab, () => handedOver === 1 && !!held['blue.bmp']);
    await drop(tab, [tiny]);
    const said = [];
    for (const name of ['blue.bmp', tiny.name]) {
      await tab.evaluate((name) => held[name](), name);
      said.push(...await takeNotice(tab));
    }
    expect(said.join('\n') === ['SPPAT_R0.bmp: not used; a later drop took the red body',
      'blue.bmp for the blue body, in place of the built-in picture', refused(tiny, 0)].join('\n'), `the notices: "${said.join(' | ')}"`);
  } },

  // Pictures chosen with the button: choosing them again takes no more memory,
  // and a chosen picture is used.
  'chosen-pictures': { async run(tab, { url }) {
    await open(tab, url + '?count=30');
    const big = bigPicture(), heap = [];
    for (const was of ['the built-in picture', 'a.bmp']) {
      const said = await chooseFiles(tab, ['a', 'b', 'c'].map((name) => ({ name: `${name}.bmp`, bytes: big })));
      expect(said[0] === `a.bmp for the red body, in place of ${was}`, `the notice: "${said.join(' | ')}"`);
      heap.push(await tab.evaluate(() => Module.HEAPU8.length));
    }
    expect(heap[1] === heap[0], `choosing the pictures again took more memory: ${heap}`);
    await chooseFiles(tab, [{ name: 'SPPAT_R2.bmp', bytes: picture('SPPAT_R0') }]);
    await tab.evaluate(() => document.getElementById('hide').click());
    const seen = await lookFor(tab, (s) => s.red > 2000 && s.green < 200);
    expect(seen.red > 2000 && seen.green < 200, `the chosen picture is not used (${seen.red} red, ${seen.green} green)`);
  } },

  // Full screen from the button; the cursor hides; a key ends it, and so does a
  // mouse movement of more than 4 pixels, but not a smaller one. Without the
  // Fullscreen API the field fills the window instead, and a key ends that.
  'full-screen': { async run(tab, { url, engine }) {
    await open(tab, url);
    // Ended only once the browser has left full screen too (WebKit takes a while).
    const shown = (want) => waitFor(tab, (want) => want === (!document.body.classList.contains('full')
      ? (document.fullscreenElement ? 'leaving' : 'none')
      : document.fullscreenElement === document.documentElement ? 'full screen' : 'full window'), want);
    // Firefox driven through WebDriver BiDi refuses the Fullscreen API (its
    // document never has the focus): the page falls back to the full window.
    const full = engine === 'firefox' ? 'full window' : 'full screen';
    await tab.click('#fullscreen');
    await shown(full);
    const cursor = await tab.evaluate(() => getComputedStyle(document.getElementById('screen')).cursor);
    expect(cursor === 'none', `the cursor shows in full screen (${cursor})`);
    await tab.press('a');
    await shown('none');

    // The movements start where the click left the pointer (the button's centre,
    // rounded down): an engine may report a movement there on entering.
    const [x, y] = await tab.evaluate(() => ((r) => [Math.floor(r.left + r.width / 2), Math.floor(r.top + r.height / 2)])(
      document.getElementById('fullscreen').getBoundingClientRect()));
    await tab.click('#fullscreen');
    await shown(full);
    await tab.mouseMove(x, y);
    await tab.mouseMove(x + 4, y - 4);
    await pause(200);
    await shown(full).catch(() => { throw new Error('a movement of 4 pixels ended full screen'); });
    await tab.mouseMove(x + 9, y - 4);
    await shown('none');

    // The page looks for the API at each press.
    await tab.evaluate(() => { delete Element.prototype.requestFullscreen; });
    await tab.click('#fullscreen');
    await shown('full window');
    const panel = await tab.evaluate(() => getComputedStyle(document.getElementById('panel')).display);
    expect(panel === 'none', 'in the full window the panel shows');
    await tab.press('a');
    await shown('none');
  } },

  // Full screen holds a screen wake lock (a stand-in that logs what it is asked),
  // asks again when the page shows again after the browser let the lock go, and
  // lets it go when it ends; a refused lock changes nothing else.
  'stays-awake': { engines: CHROMIUM, async run(tab, { url }) {
    await tab.beforeLoad(() => {
      const held = [];
      window.wakeLog = [];
      // What the browser does to the locks while the page is hidden, and then shows.
      window.hideAndShow = () => (held.forEach((lock) => { lock.released = true; }),
        document.dispatchEvent(new Event('visibilitychange')));
      Object.defineProperty(navigator, 'wakeLock', { value: { request: (type) => {
        const lock = { released: false, release: () => (wakeLog.push('release'), lock.released = true, Promise.resolve()) };
        wakeLog.push(type);
        return window.refuseWake ? Promise.reject(new DOMException('no', 'NotAllowedError')) : (held.push(lock), Promise.resolve(lock));
      } } });
    });
    await open(tab, url);
    const log = (want) => waitFor(tab, (want) => wakeLog.join() === want, want)
      .catch(async () => { throw new Error(`wake locks: ${await tab.evaluate(() => wakeLog.join())}, not ${want}`); });
    for (const [step, want] of [['#fullscreen', 'screen'], [() => hideAndShow(), 'screen,screen'], ['a', 'screen,screen,release'],
      [() => { hideAndShow(); window.refuseWake = true; }, 'screen,screen,release'], ['#fullscreen', 'screen,screen,release,screen']]) {
      await (typeof step === 'function' ? tab.evaluate(step) : step === 'a' ? tab.press(step) : tab.click(step));
      await log(want);
    }
    await waitFor(tab, () => document.fullscreenElement === document.documentElement);
  } },

  // Every control named in the accessibility tree; axe-core finds nothing with
  // the panel shown or hidden.
  accessible: { engines: CHROMIUM, async run(tab, { url }) {
    const { page } = tab;
    await open(tab, url);
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
  } },

  // On a phone (a touch screen, emulated through the DevTools protocol) the
  // panel starts folded, and its controls are large enough to touch.
  phone: { engines: CHROMIUM, async run(tab, { url }) {
    const { page } = tab;
    await page.setViewport({ width: 375, height: 667, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
    await open(tab, url);
    const covered = await page.evaluate(() => ['panel', 'show'].map((id) => document.getElementById(id)).filter((e) => !e.hidden)
      .map((e) => e.getBoundingClientRect()).reduce((sum, r) => sum + r.width * r.height, 0) / (innerWidth * innerHeight));
    expect(covered <= 1 / 3, `the panel covers ${Math.round(100 * covered)} % of the screen`);
    await page.tap('#show');
    const small = await page.$$eval('button, input', (all) => all.map((e) => [e.id, e.getBoundingClientRect()])
      .filter(([, r]) => r.width && (r.width < 24 || r.height < 24)).map(([id, r]) => `${id} ${r.width}x${r.height}`));
    expect(!small.length, `controls under 24 px: ${small}`);
  } },

  // After one visit the page opens and animates without its server, as it does
  // from a file; the manifest's icons are there in their sizes.
  offline: { async run(tab, { url, dir, server }) {
    await open(tab, url + '?count=30');
    await waitFor(tab, () => !!navigator.serviceWorker.controller);
    const icons = await tab.evaluate(async () => Promise.all((await (await fetch('manifest.webmanifest')).json()).icons
      .map(async (icon) => {
        const image = await createImageBitmap(await (await fetch(icon.src)).blob());
        return `${icon.sizes} ${icon.purpose}=${image.width}x${image.height}`;
      })));
    expect(icons.join() === '192x192 any=192x192,512x512 any=512x512,512x512 maskable=512x512', `the manifest's icons: ${icons}`);
    server.close();
    server.closeAllConnections();
    await open(tab);
    await expectAnimating(tab, 'offline');
    await open(tab, `file://${path.resolve(dir)}/index.html?count=30`);
    await expectAnimating(tab, 'opened from a file');
  } },

  // The browser can install the page (as Chromium's DevTools protocol tells).
  installable: { engines: CHROMIUM, async run(tab, { url }) {
    await open(tab, url);
    await waitFor(tab, () => !!navigator.serviceWorker.controller);
    const { installabilityErrors } = await (await tab.page.createCDPSession()).send('Page.getInstallabilityErrors');
    expect(!installabilityErrors.length, `not installable: ${JSON.stringify(installabilityErrors)}`);
  } },

  // An engine without MediaQueryList.addEventListener, Blob.arrayBuffer and
  // reads that succeed (Safari before 14, a file gone from the disk): the page's
  // buttons work, the scene follows a change of density, a picture read with
  // FileReader is used, and the reads that fail, by an error or by an
  // exception, are named while the bodies go on moving. (Firefox: an emulated
  // density there changes the media query's match; in Chromium it does not.)
  'older-engine': { engines: ['firefox'], async run(tab, { url }) {
    await tab.beforeLoad(() => {
      MediaQueryList.prototype.addEventListener = undefined;
      MediaQueryList.prototype.removeEventListener = undefined;
      delete Blob.prototype.arrayBuffer;
      const read = FileReader.prototype.readAsArrayBuffer;
      FileReader.prototype.readAsArrayBuffer = function (file) {
        if (file.name === 'throws.bmp') throw new DOMException('the file is gone', 'NotFoundError');
        if (file.name !== 'fails.bmp') return read.call(this, file);
        setTimeout(() => this.onerror(new ProgressEvent('error')));
      };
    });
    await open(tab, url + '?count=30');
    await tab.click('#hide');
    await tab.setViewport({ ...SIZE, deviceScaleFactor: 1.5 });
    await waitFor(tab, () => document.getElementById('screen').width === 480);
    const said = await dropFiles(tab, [{ name: 'fails.bmp', bytes: picture('SPPAT_R1') },
      { name: 'throws.bmp', bytes: picture('SPPAT_R1') }, { name: 'SPPAT_R2.bmp', bytes: picture('SPPAT_R0') }]);
    expect(said.join('\n') === ['fails.bmp: could not be read (the browser gave no reason); the built-in picture stays for the red body',
      'throws.bmp: could not be read (the file is gone); the built-in picture stays for the blue body',
      'SPPAT_R2.bmp for the plain bodies, in place of the built-in picture'].join('\n'), `the notice: "${said.join(' | ')}"`);
    const seen = await lookFor(tab, (s) => s.red > 2000 && s.green < 200);
    expect(seen.red > 2000 && seen.green < 200, `the picture read with FileReader is not used (${seen.red} red, ${seen.green} green)`);
    const moving = await look(tab, await look(tab));
    expect(moving.differ > 50, `the bodies stopped after the failed reads (${moving.differ} pixels changed)`);
  } },

  // A window wider than the back buffer's limit: the field keeps 16384 pixels,
  // says so once, and animates. With memory for the canvas but not for the rest
  // of the scene, the page says so; with memory again it animates. In a small
  // window, where the bodies need more than the back buffer, memory that runs
  // out at any point of the set-up (rooms beside the canvas's from none to
  // enough, in steps of 64 bytes up to where the bodies' arrays fit, then of
  // 4 kB through the sprites' tiles) either says so or shows the bodies.
  'field-size': { engines: CHROMIUM, async run(tab, { url }) {
    await tab.setViewport({ width: 17000, height: 200 });
    await open(tab, url + '?count=100');
    expect(await tab.evaluate(() => document.getElementById('screen').width) === 16384, 'the field is not 16384 pixels wide');
    expect((await takeNotice(tab)).join().includes('at most 16384 pixels'), 'no notice of the field\'s limit');
    await tab.evaluate(() => window.dispatchEvent(new Event('resize')));
    expect(await notice(tab) === '', `a resize shows the notice again: "${await notice(tab)}"`);
    await tab.evaluate(() => document.getElementById('hide').click());
    await expectAnimating(tab, 'a window 17000 pixels wide');
    const said = await tab.evaluate(() => {
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
    await tab.evaluate(() => window.dispatchEvent(new Event('resize')));
    await expectAnimating(tab, 'with memory again');

    await tab.setViewport({ width: 40, height: 30 });
    await waitFor(tab, () => document.getElementById('screen').width === 40);
    const rooms = await tab.evaluate(() => {
      const canvas = document.getElementById('screen'), box = document.getElementById('notice'), seen = {};
      for (let room = 0; room <= 300000; room += room < 20000 ? 64 : 4096) {
        Module._pendral_forget_pictures(0);
        const at = Module._malloc(4 * canvas.width * canvas.height + room), held = [];
        for (let size = 16 << 20; size >= 16; size >>= 2) for (let a; (a = Module._malloc(size));) held.push(a);
        Module._free(at);
        box.hidden = true;
        window.dispatchEvent(new Event('resize'));
        held.forEach((a) => Module._free(a));
        Module._pendral_time_frames(1);
        const green = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data
          .some((v, i) => i % 4 === 1 && v > 120);
        const said = !box.hidden && box.textContent.startsWith('No animation');
        const what = said ? 'said' : green ? 'shown' : 'silent';
        if (!(what in seen)) seen[what] = room;
      }
      return seen;
    });
    expect(!('silent' in rooms) && rooms.said === 0 && rooms.shown > 0, `rooms first said, shown, silent: ${JSON.stringify(rooms)}`);
  } },
};

async function main() {
  const [name, engine, dir] = process.argv.slice(2);
  if (name === '--list') {
    for (const [check, { engines = ENGINES }] of Object.entries(CHECKS)) engines.forEach((e) => console.log(`${check} ${e}`));
    return 0;
  }
  const check = CHECKS[name];
  if (!check || !(check.engines || ENGINES).includes(engine) || !dir) {
    console.error(`usage: node page_test.js {${Object.keys(CHECKS).join('|')}} {${ENGINES.join('|')}} BUILD_DIR`);
    return 2;
  }
  const what = `${name} in ${engine}`;
  if (check.skip && check.skip[engine]) {
    console.log(`${what}: skipped: ${check.skip[engine]}`);
    return SKIPPED;
  }
  const { server, url } = await serve(dir);
  const problems = [];
  server.on('request', (request, response) => response.on('finish', () => {
    if (response.statusCode >= 400) problems.push(`HTTP ${response.statusCode}: ${request.url}`);
  }));
  let tab = null;
  try {
    tab = await launch(engine, SIZE);
    await check.run(tab, { url, dir, server, engine });
  } catch (error) {
    problems.push(error.message);
  } finally {
    if (tab) {
      problems.unshift(...tab.problems);
      await tab.close().catch((error) => problems.push(`closing the browser: ${error.message}`));
    }
    server.close();
  }
  for (const p of problems) console.error(`${what}: ${p.length > 400 ? p.slice(0, 400) + '…' : p}`);
  if (!problems.length) console.log(`${what}: passed`);
  return problems.length ? 1 : 0;
}

main().then((status) => process.exit(status), (error) => {
  console.error(error);
  process.exit(1);
});
