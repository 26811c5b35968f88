'use strict';
// Script threads racing on shared output ids. Each worker loads the module
// and, like the main thread, starts, feeds and stops outputs under a few
// shared ids on real windows. Then a worker that starts an output is
// terminated while the output runs, and the main thread takes it over.
// Prints one JSON report; the parent kills the process if it hangs.
//   node workers_child.js [--workers 3] [--iterations 200]
const { Worker, isMainThread, parentPort, workerData } = require('node:worker_threads');
const paths = require('./build_paths');
const { createRandom } = require('./random');

const addon = require(paths.addon);
const ids = ['shared 0', 'shared 1', 'shared 2', 'shared 3'];
const block = Buffer.alloc(256 * 2 * 4);

function handleOf(id) {
  const buffer = Buffer.alloc(8);
  buffer.writeBigUInt64LE(BigInt(id));
  return buffer;
}

// Random operations on the shared ids; returns what it did.
function race(seed, windows, iterations) {
  const rng = createRandom(seed);
  const done = { starts: 0, stops: 0, audio: 0, errors: [] };
  for (let i = 0; i < iterations; i++) {
    const id = rng.pick(ids);
    const op = rng.int(3);
    try {
      if (op === 0) {
        addon.ndiOutputStart(handleOf(rng.pick(windows)), id, `Race ${id}`);
        done.starts += 1;
      } else if (op === 1) {
        addon.ndiOutputStop(id);
        done.stops += 1;
      } else {
        addon.ndiOutputSendAudio(id, block, 48000, 2);
        done.audio += 1;
      }
    } catch (error) {
      done.errors.push(`${error.code}: ${error.message}`);
    }
  }
  return done;
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

function option(name, fallback) {
  const at = process.argv.indexOf(name);
  return at >= 0 ? Number(process.argv[at + 1]) : fallback;
}

function runWorker(data) {
  const worker = new Worker(__filename, { workerData: data });
  const result = new Promise((resolve, reject) => {
    worker.once('message', resolve);
    worker.once('error', reject);
  });
  return { worker, result };
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function main() {
  const { openTestWindow } = require('./test_window');
  const probe = require(paths.probe);
  const workerCount = option('--workers', 3);
  const iterations = option('--iterations', 200);
  const windows = [];
  for (let i = 0; i < 3; i++) windows.push(await openTestWindow(['--size', '48x32']));
  for (const window of windows) await window.command('animate on');
  const windowIds = windows.map((w) => w.id.toString());
  probe.reset();

  const racers = [];
  for (let i = 0; i < workerCount; i++) {
    racers.push(runWorker({ mode: 'race', seed: 1000 + i, windows: windowIds, iterations }).result);
  }
  // The main thread races too, a few operations per turn of its event loop so
  // that the workers' results can arrive.
  const mainDone = { starts: 0, stops: 0, audio: 0, errors: [] };
  let finished = false;
  const all = Promise.all(racers).then((r) => { finished = true; return r; });
  for (let seed = 1; !finished; seed++) {
    const step = race(seed, windowIds, 5);
    for (const key of ['starts', 'stops', 'audio']) mainDone[key] += step[key];
    mainDone.errors.push(...step.errors);
    await sleep(1);
  }
  const workerDone = await all;
  for (const id of ids) addon.ndiOutputStop(id);
  const raced = probe.library();
  const undestroyed = [];
  for (let id = 1; id <= raced.instancesCreated; id++) {
    if (!probe.instance(id).destroyed) undestroyed.push(id);
  }

  // A worker terminated while its output runs.
  probe.reset();
  const keeper = runWorker({ mode: 'keep', windows: windowIds });
  await keeper.result;
  await sleep(50);
  await keeper.worker.terminate();
  const kept = probe.library().instancesCreated;
  const framesAtTerminate = probe.instance(kept).videoFrames;
  const audioAtTerminate = probe.instance(kept).audioBlocks;
  await sleep(200);
  addon.ndiOutputSendAudio('kept', block, 48000, 2);
  const afterTerminate = probe.instance(kept);
  addon.ndiOutputStop('kept');
  const keptStopped = probe.instance(kept);
  const library = probe.library();
  for (const window of windows) await window.close();

  process.stdout.write(`${JSON.stringify({
    workers: workerDone, main: mainDone,
    raced: { instances: raced.instancesCreated, misuse: raced.misuse, liveAfterStops: raced.liveInstances, undestroyed },
    kept: {
      framesAtTerminate, audioAtTerminate,
      framesLater: afterTerminate.videoFrames, audioLater: afterTerminate.audioBlocks,
      destroyedBeforeStop: afterTerminate.destroyed, destroyedAfterStop: keptStopped.destroyed,
    },
    library,
  })}\n`);
}

if (isMainThread) {
  main().catch((error) => {
    process.stdout.write(`${JSON.stringify({ error: String(error && error.stack) })}\n`);
    process.exit(1);
  });
} else {
  workerMain();
}
