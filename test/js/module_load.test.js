'use strict';

// Loading the module: in a process of its own, and in worker threads (a
// worker terminated with an output running: reliability.test.js).
const test = require('node:test');
const assert = require('node:assert');
const { spawnSync } = require('node:child_process');
const path = require('node:path');
const { Worker } = require('node:worker_threads');

const packageRoot = path.join(__dirname, '..', '..');

test('a process that only loads the module exits by itself, silently', () => {
  // The guard only catches a hang; the event loop must not be kept alive.
  const child = spawnSync(process.execPath, ['-e', `require(${JSON.stringify(packageRoot)})`], {
    encoding: 'utf8',
    timeout: 60000,
  });
  assert.strictEqual(child.signal, null, 'the process had to be killed');
  assert.strictEqual(child.status, 0, child.stderr);
  assert.strictEqual(child.stderr, '');
  assert.strictEqual(child.stdout, '');
});

function runWorker(script) {
  return new Promise((resolve, reject) => {
    const worker = new Worker(script, { eval: true, workerData: packageRoot });
    let message;
    worker.on('message', (value) => { message = value; });
    worker.on('error', reject);
    worker.on('exit', (code) => resolve({ code, message }));
  });
}

const workerScript = `
  const { parentPort, workerData } = require('node:worker_threads');
  const addon = require(workerData);
  let error;
  try { addon.ndiOutputStop(42); } catch (e) { error = { code: e.code, message: e.message }; }
  parentPort.postMessage({
    names: Object.entries(addon).map(([key, f]) => [key, f.name]),
    stopped: addon.ndiOutputStop('worker: never started'),
    sent: addon.ndiOutputSendAudio('worker: never started', Buffer.alloc(8), 48000, 2),
    error,
  });
`;

const expected = {
  names: ['ndiOutputStop', 'ndiOutputStart', 'ndiOutputSendAudio'].map((key) => [key, key]),
  stopped: undefined,
  sent: undefined,
  error: {
    code: 'StringExpected',
    message: 'Failed to convert JavaScript value `Number 42 ` to native type `String`',
  },
};

test('the module loads and works in worker threads, and they end by themselves', async () => {
  require(packageRoot);
  const results = await Promise.all([runWorker(workerScript), runWorker(workerScript)]);
  // A worker started after the others have gone registers afresh.
  results.push(await runWorker(workerScript));
  for (const result of results) assert.deepStrictEqual(result, { code: 0, message: expected });
});
