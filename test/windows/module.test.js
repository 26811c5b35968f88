'use strict';
// The Windows module under a Windows node.exe: everything a script can see
// that needs no capture service. Run by scripts/test-windows under Wine, as a
// plain script (node:test's child processes do not get along with Wine):
//   TARVIX_ADDON         path of tarvix_ndi_addon.node
//   TARVIX_TEST_WINDOW   a real window's handle, decimal
//   TARVIX_NDI_STANDIN_DIR  where the stand-in runtime writes its summaries
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { Worker } = require('node:worker_threads');

const addonPath = process.env.TARVIX_ADDON;
const addon = require(addonPath);

const cases = [];
const check = (name, body) => cases.push({ name, body });

const samples = Buffer.alloc(16);
const failure = (message) => ({ name: 'Error', code: 'GenericFailure', message });
const stringError = (description) => ({
  code: 'StringExpected',
  message: `Failed to convert JavaScript value \`${description}\` to native type \`String\``,
});
const u32Error = (typeName) => ({
  code: 'NumberExpected',
  message: `Failed to convert napi value ${typeName} to native type \`u32\``,
});

function handleBuffer(handle, length = 8) {
  const bytes = Buffer.alloc(Math.max(length, 8));
  bytes.writeBigUInt64LE(BigInt(handle));
  return bytes.subarray(0, length);
}

const windowHandle = () => {
  const text = process.env.TARVIX_TEST_WINDOW;
  assert.ok(text && /^[0-9]+$/.test(text), 'TARVIX_TEST_WINDOW names no window');
  return handleBuffer(text);
};

// What the stand-in runtime last wrote about a source, or null.
function summary(sourceName) {
  const dir = process.env.TARVIX_NDI_STANDIN_DIR;
  assert.ok(dir, 'TARVIX_NDI_STANDIN_DIR is not set');
  const file = path.join(dir, `${sourceName.replace(/[^A-Za-z0-9._-]/g, '_')}.json`);
  return fs.existsSync(file) ? JSON.parse(fs.readFileSync(file, 'utf8')) : null;
}

check('the host is a Windows 10 node.exe', () => {
  assert.equal(process.platform, 'win32');
  assert.equal(process.arch, 'x64');
  assert.match(require('node:os').release(), /^10\./);
});

check('exports are the three functions, and idle calls return undefined', () => {
  const names = ['ndiOutputStop', 'ndiOutputStart', 'ndiOutputSendAudio'];
  assert.deepEqual(Object.keys(addon), names);
  assert.deepEqual(names.map((key) => addon[key].name), names);
  assert.equal(addon.ndiOutputStop('never started', 42, {}), undefined);
  for (const [rate, channels] of [[48000, 2], [7999, 2], [0, 0], [44100, 4294967295]]) {
    assert.equal(addon.ndiOutputSendAudio('never started', samples, rate, channels), undefined);
  }
  assert.equal(addon.ndiOutputSendAudio('never started', Buffer.alloc(0), 48000, 1), undefined);
});

// One case of each conversion: the decoding itself is the same code as on Linux.
check('arguments that do not convert throw with the failing conversion', () => {
  assert.throws(() => addon.ndiOutputStop({ a: 1 }), stringError('Object {"a":1}'));
  assert.throws(() => addon.ndiOutputStart(Buffer.alloc(8), 'id', true), stringError('Boolean true '));
  assert.throws(() => addon.ndiOutputSendAudio('id', samples, 48000), u32Error('Undefined'));
  assert.throws(() => addon.ndiOutputStart(42, 'id', 'name'),
    { code: 'InvalidArg', message: 'Failed to create reference from Buffer' });
  assert.throws(() => addon.ndiOutputSendAudio('id', {}, 48000, 2),
    { code: 'InvalidArg', message: 'Failed to get Buffer pointer and length' });
  const boom = new RangeError('boom');
  assert.throws(() => addon.ndiOutputStop({ toJSON() { throw boom; } }), (e) => e === boom);
});

check('a start refuses a short handle buffer or a blank source name', () => {
  for (const length of [7, 0]) {
    assert.throws(() => addon.ndiOutputStart(handleBuffer(0, length), 'short', 'short'),
      failure(`Window handle buffer too short: expected at least 8 bytes, got ${length}`));
  }
  assert.throws(() => addon.ndiOutputStart(windowHandle(), 'blank', ' \t'), failure(
    'NDI initialization failed: InvalidConfiguration("Sender name cannot be empty or contain ' +
    'only whitespace")'));
});

// Wine has no dispatcher queue (CoreMessaging), so every capture stops at its
// first platform step; on Windows the same start would capture.
check('a start on a real window fails cleanly without the capture service', () => {
  const queueError = failure('Failed to create dispatcher queue controller');
  assert.throws(() => addon.ndiOutputStart(windowHandle(), 'wine', 'wine start'), queueError);
  // Nothing stayed registered: a registered id would return at once instead.
  assert.throws(() => addon.ndiOutputStart(windowHandle(), 'wine', 'wine start'), queueError);
  assert.equal(addon.ndiOutputSendAudio('wine', samples, 48000, 2), undefined);
  assert.equal(addon.ndiOutputStop('wine'), undefined);
  // The source was created and withdrawn again, carrying nothing.
  const source = summary('wine start');
  assert.ok(source, 'the stand-in wrote no summary for the source');
  assert.equal(source.destroyed, true);
  assert.equal(source.frames, 0);
  assert.equal(source.audio_blocks, 0);
});

check('a handle that names no window fails the same way', () => {
  assert.throws(() => addon.ndiOutputStart(handleBuffer(0), 'nowin', 'no window'),
    failure('Failed to create dispatcher queue controller'));
});

check('the module loads in worker threads, and they end by themselves', async () => {
  const script = `
    const { parentPort, workerData } = require('node:worker_threads');
    const addon = require(workerData);
    let error;
    try { addon.ndiOutputStop(42); } catch (e) { error = e.code; }
    parentPort.postMessage({ keys: Object.keys(addon), error,
      stopped: addon.ndiOutputStop('worker: never started') });`;
  const run = () => new Promise((resolve, reject) => {
    const worker = new Worker(script, { eval: true, workerData: addonPath });
    let message;
    worker.on('message', (value) => { message = value; });
    worker.on('error', reject);
    worker.on('exit', (code) => resolve({ code, message }));
  });
  const expected = {
    code: 0,
    message: { keys: ['ndiOutputStop', 'ndiOutputStart', 'ndiOutputSendAudio'],
      error: 'StringExpected', stopped: undefined },
  };
  for (const result of await Promise.all([run(), run()])) assert.deepEqual(result, expected);
});

(async () => {
  let passed = 0;
  let failed = 0;
  for (const { name, body } of cases) {
    try {
      await body();
      passed += 1;
      console.log(`ok - ${name}`);
    } catch (error) {
      failed += 1;
      console.log(`not ok - ${name}\n  ${String(error && error.stack).split('\n').join('\n  ')}`);
    }
  }
  console.log(`module: ${passed} passed, ${failed} failed`);
  // No explicit exit: the process must end by itself once the checks are done.
  process.exitCode = failed === 0 ? 0 : 1;
})();
