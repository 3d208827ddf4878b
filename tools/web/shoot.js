// Saves a screenshot of the browser build's page, served from a build folder, as
// the system's Chromium shows it (headless, through puppeteer-core).
//
//   node tools/web/shoot.js BUILD_DIR QUERY OUT.png [WIDTH HEIGHT [SECONDS]]
//
// QUERY is the page's address part after "?" (settings such as count=30&red=1).
'use strict';
const puppeteer = require('puppeteer-core');
const { serve } = require('./serve.js');

async function main() {
  const [dir, query, out, width = '1024', height = '768', seconds = '3'] = process.argv.slice(2);
  if (!out) {
    console.error('usage: node shoot.js BUILD_DIR QUERY OUT.png [WIDTH HEIGHT [SECONDS]]');
    return 2;
  }
  const { server, url } = await serve(dir);
  const browser = await puppeteer.launch({
    executablePath: process.env.PENDRAL_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-dev-shm-usage', '--no-first-run', '--disable-gpu'],
  });
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: Number(width), height: Number(height) });
    console.log(`page: ${url}${query ? '?' + query : ''}`);
    await page.goto(url + (query ? '?' + query : ''));
    await page.waitForFunction(() => Module.calledRun);
    await new Promise((resolve) => setTimeout(resolve, Number(seconds) * 1000));
    await page.screenshot({ path: out });
  } finally {
    await browser.close();
    server.close();
  }
  return 0;
}

main().then((status) => process.exit(status), (error) => {
  console.error(`shoot: ${error.message}`);
  process.exit(1);
});
