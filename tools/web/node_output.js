// Given to every program the browser build runs under Node (--pre-js): its standard
// output and error are written whole, synchronously. Node makes a pipe non-blocking
// and keeps what it cannot write at once for later, which the exit at the end of
// main() then drops: behind a slow reader only the first 64 KB arrived, with status 0.
// A write that would block waits instead; one that fails ends the program with
// status 1 and a message.
(() => {
  const fs = require('fs');
  const pause = new Int32Array(new SharedArrayBuffer(4));
  const writeAll = (fd, text) => {
    const bytes = Buffer.from(text + '\n');
    for (let done = 0; done < bytes.length;) {
      try {
        done += fs.writeSync(fd, bytes, done, bytes.length - done);
      } catch (e) {
        if (e.code !== 'EAGAIN') {
          if (fd !== 2) writeAll(2, `${process.argv[1]}: cannot write standard output: ${e.message}`);
          process.exit(1);
        }
        Atomics.wait(pause, 0, 0, 5);
      }
    }
  };
  Module['print'] = (text) => writeAll(1, text);
  Module['printErr'] = (text) => writeAll(2, text);
})();
