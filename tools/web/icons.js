// Makes the page's app icons from the program's icon: the largest picture of a
// .ico file (32 bits per pixel, bottom-up, as res/pendral.ico holds them) scaled
// up by whole pixels, as PNG files.
//
//   node tools/web/icons.js ICON.ico SIZE OUT.png [SIZE OUT.png ...]
'use strict';
const fs = require('fs');
const zlib = require('zlib');

// The largest 32-bit picture of the icon as rows of RGBA, top row first.
function readIcon(data) {
  const count = data.readUInt16LE(4);
  let best = null;
  for (let i = 0; i < count; i++) {
    const entry = 6 + 16 * i;
    const offset = data.readUInt32LE(entry + 12);
    const width = data.readInt32LE(offset + 4), height = data.readInt32LE(offset + 8) / 2;
    if (data.readUInt16LE(offset + 14) !== 32 || width <= 0 || height <= 0) continue;
    if (!best || width > best.width) best = { offset, width, height };
  }
  if (!best) throw new Error('no 32-bit picture in the icon');
  const { width, height } = best;
  const pixels = data.subarray(best.offset + data.readUInt32LE(best.offset), best.offset + data.readUInt32LE(best.offset) + 4 * width * height);
  const rgba = Buffer.alloc(4 * width * height);
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const from = 4 * ((height - 1 - y) * width + x), to = 4 * (y * width + x);
      rgba[to] = pixels[from + 2];
      rgba[to + 1] = pixels[from + 1];
      rgba[to + 2] = pixels[from];
      rgba[to + 3] = pixels[from + 3];
    }
  }
  return { width, height, rgba };
}

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function crc32(bytes) {
  let c = 0xffffffff;
  for (const b of bytes) c = CRC_TABLE[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, body) {
  const head = Buffer.alloc(8), tail = Buffer.alloc(4);
  head.writeUInt32BE(body.length, 0);
  head.write(type, 4, 'latin1');
  tail.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), body])), 0);
  return Buffer.concat([head, body, tail]);
}

// The icon at size x size, each of its pixels a block of whole pixels (nearest).
function png(icon, size) {
  const rows = Buffer.alloc((4 * size + 1) * size);
  for (let y = 0; y < size; y++) {
    const sy = Math.floor(y * icon.height / size);
    for (let x = 0; x < size; x++) {
      const sx = Math.floor(x * icon.width / size);
      icon.rgba.copy(rows, y * (4 * size + 1) + 1 + 4 * x, 4 * (sy * icon.width + sx), 4 * (sy * icon.width + sx) + 4);
    }
  }
  const header = Buffer.alloc(13);
  header.writeUInt32BE(size, 0);
  header.writeUInt32BE(size, 4);
  header.set([8, 6, 0, 0, 0], 8);  // 8 bits per channel, RGBA
  return Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', header),
    chunk('IDAT', zlib.deflateSync(rows)), chunk('IEND', Buffer.alloc(0))]);
}

const [ico, ...pairs] = process.argv.slice(2);
if (!ico || pairs.length < 2 || pairs.length % 2) {
  console.error('usage: node icons.js ICON.ico SIZE OUT.png [SIZE OUT.png ...]');
  process.exit(2);
}
const icon = readIcon(fs.readFileSync(ico));
for (let i = 0; i < pairs.length; i += 2) fs.writeFileSync(pairs[i + 1], png(icon, Number(pairs[i])));
