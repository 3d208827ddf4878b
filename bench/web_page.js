// The browser build's costs at 100 bodies in the system's Chromium (headless): the
// page's own benchmark (?bench=1) times the field's step alone and a whole frame
// (step, sprites, the changed rectangles onto the 1024x768 canvas).
//
//   NODE_PATH=build/node/node_modules node bench/web_page.js [BUILD_DIR]
'use strict';
const puppeteer = require('puppeteer-core');
const { serve } = require('../tools/web/serve.js');

async function main() {
  const { server, url } = await serve(process.argv[2] || 'build/web');
  const browser = await puppeteer.launch({
    executablePath: process.env.PENDRAL_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-dev-shm-usage', '--no-first-run'],
  });
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1024, height: 768 });
    await page.goto(url + '?bench=1&count=100&red=1&blue=1');
    await page.waitForFunction(() => document.title.startsWith('benchmark:'), { timeout: 60000 });
    const r = JSON.parse((await page.title()).slice('benchmark:'.length));
    console.log(`browser (Chromium), ${r.bodies} bodies: ${(r.stepMs * 1000).toFixed(1)} us per step, ` +
                `${(r.frameMs * 1000).toFixed(1)} us per frame`);
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch((error) => {
  console.error(`web_page: ${error.message}`);
  process.exit(1);
});
