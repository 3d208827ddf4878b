// Serves a folder over HTTP on the loopback interface, for the browser build's
// page (scripts/run --web, the browser tests and the pictures of the README and docs/).
//
//   node tools/web/serve.js DIR [PORT]     prints "http://127.0.0.1:PORT/" and serves
//                                          until ended (PORT 0 or none: any free one)
'use strict';
const http = require('http');
const fs = require('fs');
const path = require('path');

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm', '.css': 'text/css; charset=utf-8', '.png': 'image/png',
  '.bmp': 'image/bmp', '.webmanifest': 'application/manifest+json',
};

// Resolves with the server and its address once it listens.
function serve(dir, port = 0) {
  const root = path.resolve(dir);
  // Addresses as long as a browser sends (the page refuses overlong settings itself).
  const server = http.createServer({ maxHeaderSize: 4 * 1024 * 1024 }, (request, response) => {
    const url = new URL(request.url, 'http://localhost');
    let name = decodeURIComponent(url.pathname);
    if (name.endsWith('/')) name += 'index.html';
    const file = path.join(root, path.normalize(name));
    if (!file.startsWith(root + path.sep)) {
      response.writeHead(403).end();
      return;
    }
    fs.readFile(file, (error, data) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, {
        'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
        'Cache-Control': 'no-store',
      });
      response.end(data);
    });
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => {
      resolve({ server, url: `http://127.0.0.1:${server.address().port}/` });
    });
  });
}

module.exports = { serve };

if (require.main === module) {
  const [dir, port] = process.argv.slice(2);
  if (!dir) {
    console.error('usage: node serve.js DIR [PORT]');
    process.exit(2);
  }
  serve(dir, Number(port || 0)).then(({ url }) => console.log(url), (error) => {
    console.error(`serve: ${error.message}`);
    process.exit(1);
  });
}
