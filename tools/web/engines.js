// The browser engines that show the page, each behind the same few operations on
// one tab, for the page's tests and screenshots:
//
//   chromium  the system's Chromium, headless, through puppeteer-core (DevTools protocol)
//   firefox   Debian's Firefox ESR, headless, through puppeteer-core (WebDriver BiDi)
//   webkit    WebKitGTK's MiniBrowser through WebKitWebDriver (W3C WebDriver over
//             HTTP); it needs an X display, allows one session at a time, passes on
//             no console messages, emulates no screen density and runs no script
//             before a page's own.
//
//   const tab = await launch('firefox', { width: 640, height: 480 });
//   await tab.goto(url); const title = await tab.evaluate(() => document.title);
//   await tab.close();
//
// A tab's `problems` collect the page's console errors and uncaught exceptions
// where the engine reports them; `page` is puppeteer's page (null for webkit).
'use strict';
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');
const { spawn } = require('child_process');

const CHROMIUM = process.env.PENDRAL_CHROMIUM || '/usr/bin/chromium';
const FIREFOX = process.env.PENDRAL_FIREFOX || '/usr/bin/firefox-esr';
const WEBKIT_DRIVER = process.env.PENDRAL_WEBKIT_DRIVER || 'WebKitWebDriver';

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const START_BOUND_MS = 30000;

// The MiniBrowser of libwebkit2gtk-4.1, in the library folder of this machine's architecture.
function miniBrowser() {
  if (process.env.PENDRAL_MINIBROWSER) return process.env.PENDRAL_MINIBROWSER;
  const found = fs.readdirSync('/usr/lib').map((dir) => path.join('/usr/lib', dir, 'webkit2gtk-4.1/MiniBrowser'))
    .find((file) => fs.existsSync(file));
  if (!found) throw new Error('no MiniBrowser of WebKitGTK 4.1 (Debian package libwebkit2gtk-4.1-0)');
  return found;
}

class PuppeteerTab {
  constructor(browser, page, profile) {
    this.browser = browser;
    this.page = page;
    this.profile = profile;
    this.problems = [];
    page.on('console', (m) => { if (m.type() === 'error') this.problems.push(`console error: ${m.text()}`); });
    page.on('pageerror', (e) => this.problems.push(`uncaught: ${e.message}`));
    page.on('requestfailed', (r) => this.problems.push(`request failed: ${r.url()}`));
  }
  goto(url) { return this.page.goto(url); }
  reload() { return this.page.reload(); }
  evaluate(fn, ...args) { return this.page.evaluate(fn, ...args); }
  click(selector) { return this.page.click(selector); }
  press(key) { return this.page.keyboard.press(key); }
  mouseMove(x, y) { return this.page.mouse.move(x, y); }
  screenshot() { return this.page.screenshot({ encoding: 'base64' }); }
  setViewport(viewport) { return this.page.setViewport(viewport); }
  async chooseFiles(selector, files) { await (await this.page.$(selector)).uploadFile(...files); }
  beforeLoad(fn) { return this.page.evaluateOnNewDocument(fn); }
  async close() {
    try {
      await this.browser.close();
    } finally {
      fs.rmSync(this.profile, { recursive: true, force: true });
    }
  }
}

async function launchPuppeteer(engine, { width, height }) {
  const puppeteer = require('puppeteer-core');
  // A fresh profile of our own, removed on closing even when the browser died.
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), `pendral-${engine}-`));
  let browser;
  try {
    browser = await puppeteer.launch(engine === 'chromium' ? {
      executablePath: CHROMIUM, headless: true, userDataDir: profile,
      args: ['--no-sandbox', '--disable-dev-shm-usage', '--no-first-run', '--disable-gpu', `--window-size=${width},${height}`],
    } : { browser: 'firefox', executablePath: FIREFOX, headless: true, userDataDir: profile });
  } catch (error) {
    fs.rmSync(profile, { recursive: true, force: true });
    throw error;
  }
  const page = (await browser.pages())[0] || await browser.newPage();
  await page.setViewport({ width, height });
  return new PuppeteerTab(browser, page, profile);
}

// W3C WebDriver's names of the keys the tests press.
const KEYS = { ArrowLeft: '\uE012', ArrowRight: '\uE014', Escape: '\uE00C', Enter: '\uE007' };
const ELEMENT = 'element-6066-11e4-a52e-4f735466cecf';

class WebDriverTab {
  constructor(driver, base) {
    this.driver = driver;
    this.base = base;
    this.page = null;
    this.problems = [];
  }
  async call(method, where, body) {
    const response = await fetch(this.base + where, {
      method, headers: { 'Content-Type': 'application/json' }, body: body && JSON.stringify(body),
    });
    const { value } = await response.json();
    if (value && value.error) throw new Error(`WebDriver ${where}: ${value.error}: ${value.message}`);
    return value;
  }
  goto(url) { return this.call('POST', '/url', { url }); }
  reload() { return this.call('POST', '/refresh', {}); }
  // The function runs in the page with the arguments (as JSON), its result awaited.
  async evaluate(fn, ...args) {
    const script = `const args = Array.prototype.slice.call(arguments, 0, -1), done = arguments[arguments.length - 1];
      Promise.resolve().then(() => (${fn}).apply(null, args))
        .then((value) => done({ value: value === undefined ? null : value }), (e) => done({ error: String(e && e.message || e) }));`;
    const { value, error } = await this.call('POST', '/execute/async', { script, args });
    if (error !== undefined) throw new Error(`in the page: ${error}`);
    return value;
  }
  async element(selector) {
    return (await this.call('POST', '/element', { using: 'css selector', value: selector }))[ELEMENT];
  }
  async click(selector) { await this.call('POST', `/element/${await this.element(selector)}/click`, {}); }
  async actions(source) {
    await this.call('POST', '/actions', { actions: [source] });
    await this.call('DELETE', '/actions');
  }
  press(key) {
    const value = KEYS[key] || key;
    return this.actions({ type: 'key', id: 'keys', actions: [{ type: 'keyDown', value }, { type: 'keyUp', value }] });
  }
  mouseMove(x, y) {
    return this.actions({ type: 'pointer', id: 'mouse', parameters: { pointerType: 'mouse' },
      actions: [{ type: 'pointerMove', origin: 'viewport', x, y, duration: 0 }] });
  }
  screenshot() { return this.call('GET', '/screenshot'); }
  async setViewport({ width, height, deviceScaleFactor = 1 }) {
    if (deviceScaleFactor !== 1) throw new Error('WebKitWebDriver emulates no screen density');
    await this.call('POST', '/window/rect', { width, height });
  }
  // The files as chosen in a file input (which need not be shown).
  async chooseFiles(selector, files) {
    await this.call('POST', `/element/${await this.element(selector)}/value`, { text: files.join('\n') });
  }
  beforeLoad() { throw new Error('WebKitWebDriver runs no script before the page\'s own'); }
  async close() {
    try { await this.call('DELETE', ''); } finally { this.driver.end(); }
  }
}

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer().once('error', reject).listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

async function launchWebKit({ width, height }) {
  if (!process.env.DISPLAY) throw new Error('WebKitGTK needs an X display: DISPLAY is not set');
  const port = await freePort();
  // In a process group of its own, so that ending it ends the MiniBrowser it started too.
  const driver = spawn(WEBKIT_DRIVER, [`--port=${port}`], { stdio: 'ignore', detached: true });
  driver.end = () => { try { process.kill(-driver.pid, 'SIGTERM'); } catch { /* already ended */ } };
  const exited = new Promise((resolve) => driver.once('exit', resolve));
  const base = `http://127.0.0.1:${port}`;
  // The bound only ends a start that failed: a busy machine may take long.
  for (const end = Date.now() + START_BOUND_MS; ;) {
    if (await Promise.race([exited.then(() => true), pause(100).then(() => false)])) {
      throw new Error(`${WEBKIT_DRIVER} ended at start`);
    }
    const ready = await fetch(`${base}/status`).then((r) => r.ok, () => false);
    if (ready) break;
    if (Date.now() > end) { driver.end(); throw new Error(`${WEBKIT_DRIVER} did not answer in ${START_BOUND_MS} ms`); }
  }
  const tab = new WebDriverTab(driver, base);
  try {
    const { sessionId } = await tab.call('POST', '/session', { capabilities: { alwaysMatch: {
      'webkitgtk:browserOptions': { binary: miniBrowser(), args: ['--automation'] } } } });
    tab.base = `${base}/session/${sessionId}`;
    await tab.setViewport({ width, height });
  } catch (error) {
    driver.end();
    throw error;
  }
  return tab;
}

const ENGINES = ['chromium', 'firefox', 'webkit'];

// A tab of `engine` whose window is about width x height CSS pixels.
function launch(engine, size) {
  if (!ENGINES.includes(engine)) throw new Error(`no engine ${engine}: one of ${ENGINES.join(', ')}`);
  return engine === 'webkit' ? launchWebKit(size) : launchPuppeteer(engine, size);
}

module.exports = { ENGINES, launch };
