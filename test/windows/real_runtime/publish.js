'use strict';
// The module in node.exe publishing a window through the real runtime: starts
// an output on the window, sends one 800-sample stereo block per 60th of a
// second (a ramp on channel 0, the block's number / 1024 on channel 1) until
// the receiver has enough or 20 s have passed, stops, writes what it did as
// JSON lines and ends by itself, with nothing left running.
//   TARVIX_ADDON=path node.exe publish.js WINDOW_HANDLE ENOUGH_FILE OUT_FILE
const fs = require('node:fs');
const addon = require(process.env.TARVIX_ADDON);

const [handle, enoughFile, outFile] = process.argv.slice(2);
const rate = 48000;
const block = 800;
const microseconds = () => Number(process.hrtime.bigint() / 1000n);
const log = [{ expect: { rate, block } }];

const window = Buffer.alloc(8);
window.writeBigUInt64LE(BigInt(handle));
addon.ndiOutputStart(window, 'real', 'tarvix real-runtime check');
const samples = new Float32Array(2 * block);
const deadline = Date.now() + 20000;
let number = 0;
const timer = setInterval(() => {
  if (fs.existsSync(enoughFile) || Date.now() > deadline) {
    clearInterval(timer);
    const from = microseconds();
    addon.ndiOutputStop('real');
    log.push({ stopped: microseconds(), destroy_us: microseconds() - from, blocks: number });
    fs.writeFileSync(outFile, log.map((line) => JSON.stringify(line)).join('\n') + '\n');
    return;
  }
  for (let i = 0; i < block; i++) {
    samples[i] = -0.5 + i / block;
    samples[block + i] = number / 1024;
  }
  addon.ndiOutputSendAudio('real', Buffer.from(samples.buffer), rate, 2);
  number++;
}, 1000 / 60);
