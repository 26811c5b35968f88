'use strict';
// Short passes of the long runs (`npm run fuzz`, `npm run stress`), each in
// child processes that are killed if they hang, so that a crash or a hang is
// a failure with what it takes to repeat it:
// - random values and argument counts for the three functions, each outcome
//   checked against what the arguments call for;
// - many outputs started and stopped on real windows with video flowing and
//   audio sent: afterwards the process holds what it held before (threads,
//   file descriptors, shared memory, memory within a few megabytes), every
//   sender is gone and the NDI library stays initialised;
// - worker threads and the main thread starting, feeding and stopping outputs
//   under shared ids: every sender is destroyed exactly once, and an output
//   whose worker is terminated keeps running for the main thread to feed and
//   stop.
const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { runFuzzChild, runNodeChild } = require('../stress/fuzz_runner');
const { runStress, problems, summary } = require('../stress/stress_runner');

const live = Boolean(process.env.DISPLAY);
const needsX = { skip: !live && 'needs an X server' };

test('random calls return undefined or throw the error their arguments call for', async () => {
  // The children run side by side; seeds 7 and 8 call from a worker thread.
  const seeds = [1, 2, 3, 4, 5, 6, 7, 8];
  const runs = await Promise.all(
    seeds.map((seed) => runFuzzChild({ seed, calls: 3000, live, worker: seed > 6 })));
  for (const [i, run] of runs.entries()) {
    const seed = seeds[i];
    assert.ok(run.ok, `seed ${seed}: ${run.reason}\nrepeat: ${run.repeat}`);
    assert.strictEqual(run.summary.worker, seed > 6);
    assert.strictEqual(run.summary.liveInstances, 0, `seed ${seed} left a sender behind`);
  }
});

test('starting and stopping outputs many times leaves nothing behind', needsX, async () => {
  const report = await runStress({ cycles: 150, rounds: 6 });
  assert.deepStrictEqual(problems(report), [], summary(report));
});

test('worker threads and the main thread share outputs without a crash, a hang or a double stop', needsX, async () => {
  const child = path.join(__dirname, '..', 'stress', 'workers_child.js');
  const { code, signal, report, stderr } =
    await runNodeChild([child, '--workers', '3', '--iterations', '150'], 120000);
  assert.deepStrictEqual({ code, signal, report }, { code: 0, signal: null, report: { ok: true } },
    `${report && report.error}\n${stderr}`);
});
