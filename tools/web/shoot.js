// Saves a screenshot of the browser build's page, served from a build folder, as
// an engine shows it (tools/web/engines.js; PENDRAL_ENGINE: chromium, the
// default, firefox or webkit, which needs an X display).
//
//   node tools/web/shoot.js BUILD_DIR QUERY OUT.png [WIDTH HEIGHT [SECONDS]]
//
// QUERY is the page's address part after "?" (settings such as count=30&red=1).
'use strict';
const fs = require('fs');
const { launch } = require('./engines.js');
const { serve } = require('./serve.js');

async function main() {
  const [dir, query, out, width = '1024', height = '768', seconds = '3'] = process.argv.slice(2);
  if (!out) {
    console.error('usage: node shoot.js BUILD_DIR QUERY OUT.png [WIDTH HEIGHT [SECONDS]]');
    return 2;
  }
  const { server, url } = await serve(dir);
  const tab = await launch(process.env.PENDRAL_ENGINE || 'chromium', { width: Number(width), height: Number(height) });
  try {
    console.log(`page: ${url}${query ? '?' + query : ''}`);
    await tab.goto(url + (query ? '?' + query : ''));
    while (!await tab.evaluate(() => window.Module && Module.calledRun)) await new Promise((resolve) => setTimeout(resolve, 100));
    await new Promise((resolve) => setTimeout(resolve, Number(seconds) * 1000));
    fs.writeFileSync(out, Buffer.from(await tab.screenshot(), 'base64'));
  } finally {
    await tab.close();
    server.close();
  }
  return 0;
}

main().then((status) => process.exit(status), (error) => {
  console.error(`shoot: ${error.message}`);
  process.exit(1);
});
