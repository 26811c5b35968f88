'use strict';
// The Windows module under a Windows node.exe: everything a script can see
// that needs no capture service. Run by scripts/test-windows under Wine:
//   TARVIX_ADDON         path of tarvix_ndi_addon.node
//   TARVIX_TEST_WINDOW   a real window's handle, decimal
//   TARVIX_NDI_STANDIN_DIR  where the stand-in runtime writes its summaries
const assert = require('node:assert/strict');
const { Worker } = require('node:worker_threads');
const { check, handleBuffer, summary, runChecks } = require('./checks');

const addon = require(process.env.TARVIX_ADDON);
const failure = (message) => ({ code: 'GenericFailure', message });

// The Node-API functions come from node.exe here: errors and exceptions
// must still reach the script.
check('arguments that do not convert throw, and a script exception passes through', () => {
  assert.throws(() => addon.ndiOutputStart(Buffer.alloc(8), 'id', true), { code: 'StringExpected' });
  const boom = new RangeError('boom');
  assert.throws(() => addon.ndiOutputStop({ toJSON() { throw boom; } }), (e) => e === boom);
  // Windows wants a whole HWND, where Linux takes Electron's 4-byte X11 ids.
  assert.throws(() => addon.ndiOutputStart(Buffer.alloc(7), 'short', 'short'),
    failure('Window handle buffer too short: expected at least 8 bytes, got 7'));
});

// Wine has no dispatcher queue (CoreMessaging), so every capture stops at its
// first platform step; on Windows the same start would capture.
check('a start on a real window fails cleanly without the capture service', () => {
  const window = handleBuffer(process.env.TARVIX_TEST_WINDOW);
  const queueError = failure('Failed to create dispatcher queue controller');
  // Twice: a start that stayed registered would return at once the second time.
  assert.throws(() => addon.ndiOutputStart(window, 'wine', 'wine start'), queueError);
  assert.throws(() => addon.ndiOutputStart(window, 'wine', 'wine start'), queueError);
  assert.equal(addon.ndiOutputSendAudio('wine', Buffer.alloc(16), 48000, 2), undefined);
  assert.equal(addon.ndiOutputStop('wine'), undefined);
  // The source was created and withdrawn again, carrying nothing.
  assert.deepEqual(summary('wine start'),
    { ...summary('wine start'), destroyed: true, frames: 0, audio_blocks: 0 });
});

check('the module loads and works in two worker threads, which end by themselves', async () => {
  const script = `
    const { parentPort, workerData } = require('node:worker_threads');
    const addon = require(workerData);
    let error;
    try { addon.ndiOutputStop(42); } catch (e) { error = e.code; }
    parentPort.postMessage({ names: Object.entries(addon).map(([key, f]) => [key, f.name]), error,
      stopped: addon.ndiOutputStop('worker: never started'),
      sent: addon.ndiOutputSendAudio('worker: never started', Buffer.alloc(8), 48000, 2) });`;
  const run = () => new Promise((resolve, reject) => {
    const worker = new Worker(script, { eval: true, workerData: process.env.TARVIX_ADDON });
    let message;
    worker.on('message', (value) => { message = value; });
    worker.on('error', reject);
    worker.on('exit', (code) => resolve({ code, message }));
  });
  const names = ['ndiOutputStop', 'ndiOutputStart', 'ndiOutputSendAudio'].map((key) => [key, key]);
  const expected = { code: 0, message: { names, error: 'StringExpected', stopped: undefined, sent: undefined } };
  for (const result of await Promise.all([run(), run()])) assert.deepEqual(result, expected);
});

runChecks('module');
