'use strict';
// Starts and stops outputs on real windows many times, with audio sent and
// video flowing, and reports what the process holds before and after.
//   node --expose-gc stress_child.js --cycles N --rounds N [--ids 20]
// cycles: one output id started and stopped N times in a row; rounds: --ids
// outputs started at once and stopped again, N times. Prints one JSON line.
const paths = require('./build_paths');
const { openTestWindow } = require('./test_window');
const { snapshot } = require('./process_figures');

const addon = require(paths.addon);
const probe = require(paths.probe);

function option(name, fallback) {
  const at = process.argv.indexOf(name);
  return at >= 0 ? Number(process.argv[at + 1]) : fallback;
}

const cycles = option('--cycles', 100);
const rounds = option('--rounds', 5);
const idCount = option('--ids', 20);
const block = Buffer.alloc(480 * 2 * 4);  // 10 ms of stereo at 48 kHz

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function until(condition, what, ms = 5000) {
  for (const end = Date.now() + ms; Date.now() < end; await sleep(2)) {
    if (condition()) return;
  }
  throw new Error(`gave up waiting for ${what}`);
}

// Counts across probe resets: the stand-in forgets its records when reset,
// which keeps its own memory flat over thousands of instances.
const totals = {
  started: 0, destroyed: 0, videoFrames: 0, audioBlocks: 0, undestroyed: [],
  libraryInitializations: 0, libraryDestructions: 0, misuse: 0,
};

function newestInstance() {
  return probe.library().instancesCreated;
}

function settle(ids) {
  for (const id of ids) {
    const record = probe.instance(id);
    totals.started += 1;
    totals.videoFrames += record.videoFrames;
    totals.audioBlocks += record.audioBlocks;
    if (record.destroyed) totals.destroyed += 1;
    else totals.undestroyed.push(record.name);
  }
  const library = probe.library();
  totals.libraryInitializations += library.initializeCalls;
  totals.libraryDestructions += library.destroyCalls;
  totals.misuse += library.misuse;
  probe.reset();
}

async function oneIdInARow(window, count, waitEvery) {
  for (let i = 0; i < count; i++) {
    addon.ndiOutputStart(window.handle(), 'same id', 'Stress same id');
    const instance = newestInstance();
    addon.ndiOutputSendAudio('same id', block, 48000, 2);
    if (i % waitEvery === 0) {
      await until(() => probe.instance(instance).videoFrames > 0, 'a video frame');
    }
    addon.ndiOutputSendAudio('same id', block, 48000, 2);
    addon.ndiOutputStop('same id');
    settle([instance]);
  }
}

async function manyAtOnce(windows, count) {
  for (let round = 0; round < count; round++) {
    const instances = [];
    windows.forEach((window, i) => {
      addon.ndiOutputStart(window.handle(), `output ${i}`, `Stress ${i}`);
      instances.push(newestInstance());
    });
    for (let i = 0; i < windows.length; i++) addon.ndiOutputSendAudio(`output ${i}`, block, 48000, 2);
    await until(() => instances.every((id) => probe.instance(id).videoFrames > 0), 'frames on every output');
    for (let i = 0; i < windows.length; i++) addon.ndiOutputSendAudio(`output ${i}`, block, 48000, 2);
    // Stopped in another order than started.
    const order = windows.map((_, i) => i).sort((a, b) => ((a * 7 + round) % windows.length) - ((b * 7 + round) % windows.length));
    for (const i of order) addon.ndiOutputStop(`output ${i}`);
    settle(instances);
  }
}

async function main() {
  const windows = [];
  for (let i = 0; i < idCount; i++) windows.push(await openTestWindow(['--size', '64x48']));
  for (const window of windows) await window.command('animate on');
  probe.reset();

  // Warm-up: the library, the X connections, thread stacks and allocator
  // arenas reach their steady state before the first measurement.
  await oneIdInARow(windows[0], 20, 1);
  await manyAtOnce(windows, 3);
  await sleep(100);
  const before = snapshot();
  const started = Date.now();

  await oneIdInARow(windows[0], cycles, 10);
  await manyAtOnce(windows, rounds);

  await sleep(100);
  const after = snapshot();
  const library = probe.library();
  for (const window of windows) await window.close();
  process.stdout.write(`${JSON.stringify({
    cycles, rounds, ids: idCount, seconds: (Date.now() - started) / 1000,
    // AddressSanitizer holds freed memory in quarantine: resident size says
    // nothing there, and its leak check takes over.
    sanitized: /asan/.test(process.env.LD_PRELOAD || ''),
    before, after, totals, library,
  })}\n`);
}

main().catch((error) => {
  process.stdout.write(`${JSON.stringify({ error: String(error && error.stack) })}\n`);
  process.exit(1);
});
