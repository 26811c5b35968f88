'use strict';
// The module in node.exe on the real runtime, while Wine offers no capture
// service: each start creates a real source, fails at capture and must
// withdraw it (flush, destroy) without hanging; audio for an id that is not
// running is dropped; the process then ends by itself. Prints
// "checks: N passed, N failed".
//   TARVIX_ADDON=path node.exe module_start.js
const addon = require(process.env.TARVIX_ADDON);

let passed = 0;
let failed = 0;
function check(name, body) {
  try {
    const detail = body();
    passed++;
    console.log(`ok - real runtime: ${name}${detail ? ` (${detail})` : ''}`);
  } catch (error) {
    failed++;
    console.log(`not ok - real runtime: ${name}: ${error.message}`);
  }
}

const window = Buffer.alloc(8);
window.writeBigUInt64LE(0x10010n);  // no such window: capture fails before looking
for (let i = 1; i <= 3; i++) {
  check(`module start ${i} withdraws its real source when capture fails`, () => {
    const from = process.hrtime.bigint();
    try {
      addon.ndiOutputStart(window, 'real', 'tarvix real-runtime check');
    } catch (error) {
      return `${error.message}; ${(Number(process.hrtime.bigint() - from) / 1e6).toFixed(0)} ms`;
    }
    addon.ndiOutputStop('real');
    throw new Error('the start succeeded, so capture runs here: this check is out of date');
  });
}
check('module audio for an output that is not running is dropped', () => {
  addon.ndiOutputSendAudio('real', Buffer.alloc(3200), 48000, 2);
});
console.log(`checks: ${passed} passed, ${failed} failed`);
