'use strict';
// Script threads racing on shared output ids. Each worker loads the module
// and, like the main thread, starts, feeds and stops outputs under a few
// shared ids on real windows: no call may fail, and every sender is
// destroyed exactly once. Then a worker that starts an output is terminated
// while the output runs, and the main thread feeds and stops it. Exits 0,
// or prints {"error"} and exits 1; the parent kills the process if it hangs.
//   node workers_child.js [--workers 3] [--iterations 200]
const assert = require('node:assert/strict');
const { Worker, isMainThread, parentPort, workerData } = require('node:worker_threads');
const paths = require('./build_paths');
const { createRandom } = require('./random');

const addon = require(paths.addon);
const ids = ['shared 0', 'shared 1', 'shared 2', 'shared 3'];
const block = Buffer.alloc(256 * 2 * 4);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function handleOf(id) {
  const buffer = Buffer.alloc(8);
  buffer.writeBigUInt64LE(BigInt(id));
  return buffer;
}

// Random operations on the shared ids; returns the errors they threw.
function race(seed, windows, iterations) {
  const rng = createRandom(seed);
  const errors = [];
  for (let i = 0; i < iterations; i++) {
    const id = rng.pick(ids);
    try {
      [() => addon.ndiOutputStart(handleOf(rng.pick(windows)), id, `Race ${id}`),
        () => addon.ndiOutputStop(id),
        () => addon.ndiOutputSendAudio(id, block, 48000, 2)][rng.int(3)]();
    } catch (error) {
      errors.push(`${error.code}: ${error.message}`);
    }
  }
  return errors;
}

function workerMain() {
  if (workerData.mode === 'race') {
    parentPort.postMessage(race(workerData.seed, workerData.windows, workerData.iterations));
    return;
  }
  // 'keep': start an output, say so, and keep sending audio until terminated.
  addon.ndiOutputStart(handleOf(workerData.windows[0]), 'kept', 'Kept after terminate');
  parentPort.postMessage('started');
  for (;;) addon.ndiOutputSendAudio('kept', block, 48000, 2);
}

function runWorker(data) {
  const worker = new Worker(__filename, { workerData: data });
  const result = new Promise((resolve, reject) => {
    worker.once('message', resolve);
    worker.once('error', reject);
  });
  return { worker, result };
}

async function main() {
  const { openTestWindow } = require('./test_window');
  const probe = require(paths.probe);
  const option = (name, fallback) => {
    const at = process.argv.indexOf(name);
    return at >= 0 ? Number(process.argv[at + 1]) : fallback;
  };
  const windows = [];
  for (let i = 0; i < 3; i++) windows.push(await openTestWindow(['--size', '48x32']));
  for (const window of windows) await window.command('animate on');
  const windowIds = windows.map((w) => w.id.toString());
  probe.reset();

  const racers = [];
  for (let i = 0; i < option('--workers', 3); i++) {
    racers.push(runWorker({ mode: 'race', seed: 1000 + i, windows: windowIds,
      iterations: option('--iterations', 200) }).result);
  }
  // The main thread races too, a few operations per turn of its event loop so
  // that the workers' results can arrive.
  const errors = [];
  let finished = false;
  const all = Promise.all(racers).then((r) => { finished = true; return r; });
  for (let seed = 1; !finished; seed++) {
    errors.push(...race(seed, windowIds, 5));
    await sleep(1);
  }
  // Operations on shared ids that find them taken or free succeed quietly.
  assert.deepEqual([...errors, ...(await all).flat()], []);
  for (const id of ids) addon.ndiOutputStop(id);
  const raced = probe.library();
  assert.ok(raced.instancesCreated > 0, 'no output was started');
  for (let id = 1; id <= raced.instancesCreated; id++) {
    assert.ok(probe.instance(id).destroyed, `sender ${id} left behind`);
  }
  assert.deepEqual([raced.liveInstances, raced.misuse], [0, 0], 'senders alive or used after their end');

  // A worker terminated while its output runs.
  probe.reset();
  const keeper = runWorker({ mode: 'keep', windows: windowIds });
  await keeper.result;
  await sleep(50);
  await keeper.worker.terminate();
  const kept = probe.library().instancesCreated;
  const atTerminate = probe.instance(kept);
  await sleep(200);
  addon.ndiOutputSendAudio('kept', block, 48000, 2);
  const later = probe.instance(kept);
  assert.equal(later.destroyed, false, 'terminating the worker stopped its output');
  assert.ok(later.videoFrames > atTerminate.videoFrames, 'video stopped with the worker');
  assert.equal(later.audioBlocks, atTerminate.audioBlocks + 1, 'the main thread could not feed it');
  addon.ndiOutputStop('kept');
  assert.equal(probe.instance(kept).destroyed, true, 'the main thread could not stop it');
  assert.deepEqual([probe.library().liveInstances, probe.library().misuse], [0, 0]);
  for (const window of windows) await window.close();
  process.stdout.write('{"ok":true}\n');
}

if (isMainThread) {
  main().catch((error) => {
    process.stdout.write(`${JSON.stringify({ error: String(error && error.stack) })}\n`);
    process.exit(1);
  });
} else {
  workerMain();
}
