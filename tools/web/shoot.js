// Saves a screenshot of the browser build's page, served from a build folder, as
// an engine shows it (tools/web/engines.js; PENDRAL_ENGINE: chromium, the
// default, firefox or webkit, which needs an X display).
//
//   node tools/web/shoot.js BUILD_DIR QUERY OUT.png [WIDTH HEIGHT [SECONDS]]
//
// QUERY is the page's address part after "?" (settings such as count=30&red=1).
// A BUILD_DIR written file:DIR opens DIR/index.html from disk instead of serving it.
// A page whose program has not started within 30 seconds fails.
'use strict';
const fs = require('fs');
const path = require('path');
const { launch } = require('./engines.js');
const { serve } = require('./serve.js');

async function main() {
  const [dir, query, out, width = '1024', height = '768', seconds = '3'] = process.argv.slice(2);
  if (!out) {
    console.error('usage: node shoot.js BUILD_DIR QUERY OUT.png [WIDTH HEIGHT [SECONDS]]');
    return 2;
  }
  const fromDisk = dir.startsWith('file:');
  const { server, url } = fromDisk ? { url: `file://${path.resolve(dir.slice(5))}/index.html` } : await serve(dir);
  const tab = await launch(process.env.PENDRAL_ENGINE || 'chromium', { width: Number(width), height: Number(height) });
  try {
    console.log(`page: ${url}${query ? '?' + query : ''}`);
    await tab.goto(url + (query ? '?' + query : ''));
    const deadline = Date.now() + 30000;
    while (!await tab.evaluate(() => window.Module && Module.calledRun)) {
      if (Date.now() > deadline) throw new Error('the page\'s program did not start');
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
    await new Promise((resolve) => setTimeout(resolve, Number(seconds) * 1000));
    fs.writeFileSync(out, Buffer.from(await tab.screenshot(), 'base64'));
  } finally {
    await tab.close();
    if (server) server.close();
  }
  return 0;
}

main().then((status) => process.exit(status), (error) => {
  console.error(`shoot: ${error.message}`);
  process.exit(1);
});
