'use strict';
// A short seeded pass of the script-surface fuzzer: random values and
// argument counts for the three functions, each outcome checked against what
// the arguments call for, in child processes so that a crash is a failure
// with its seed rather than the end of the test run. `npm run fuzz` runs the
// same for as long as asked.
const test = require('node:test');
const assert = require('node:assert');
const { runFuzzChild } = require('../stress/fuzz_runner');

const live = Boolean(process.env.DISPLAY);
const seeds = [1, 2, 3, 4, 5, 6];

test('random calls return undefined or throw the error their arguments call for', async () => {
  for (const seed of seeds) {
    const run = await runFuzzChild({ seed, calls: 3000, live });
    assert.ok(run.ok, `seed ${seed}: ${run.reason}\nrepeat: ${run.repeat}`);
    assert.strictEqual(run.summary.liveInstances, 0, `seed ${seed} left a sender behind`);
  }
});

test('the same holds for calls from a worker thread', async () => {
  for (const seed of [7, 8]) {
    const run = await runFuzzChild({ seed, calls: 3000, live, worker: true });
    assert.ok(run.ok, `seed ${seed}: ${run.reason}\nrepeat: ${run.repeat}`);
    assert.strictEqual(run.summary.worker, true);
    assert.strictEqual(run.summary.liveInstances, 0, `seed ${seed} left a sender behind`);
  }
});
