'use strict';
// The module in node.exe publishing a window through the real runtime: starts
// an output on the window, sends one 800-sample stereo block per 60th of a
// second (a ramp on channel 0, the block's number / 1024 on channel 1) until
// the receiver has enough or 20 s have passed, stops, writes what it did as
// JSON lines and ends by itself, with nothing left running.
//   TARVIX_ADDON=path node.exe publish.js WINDOW_HANDLE ENOUGH_FILE OUT_FILE
const fs = require('node:fs');
const { handleBuffer } = require('../checks');
const addon = require(process.env.TARVIX_ADDON);

const [handle, enoughFile, outFile] = process.argv.slice(2);
const rate = 48000;
const block = 800;

addon.ndiOutputStart(handleBuffer(handle), 'real', 'tarvix real-runtime check');
const samples = new Float32Array(2 * block).map((_, i) => -0.5 + i / block);  // channel 0: a ramp
const deadline = Date.now() + 20000;
let number = 0;
const timer = setInterval(() => {
  if (fs.existsSync(enoughFile) || Date.now() > deadline) {
    clearInterval(timer);
    addon.ndiOutputStop('real');
    fs.writeFileSync(outFile, `${JSON.stringify({ expect: { rate, block } })}\n{"stopped":true}\n`);
    return;
  }
  samples.fill(number++ / 1024, block);  // channel 1: the block's number
  addon.ndiOutputSendAudio('real', Buffer.from(samples.buffer), rate, 2);
}, 1000 / 60);
