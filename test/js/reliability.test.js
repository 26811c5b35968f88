'use strict';
// Child processes, each killed if it hangs, so that a crash or a hang is a
// failure with what it takes to repeat it: the script-surface fuzzer (random
// values and argument counts; each call returns or throws one of the
// module's errors, and no sender is left), and the scenarios of scenario_child.js: a short pass
// of `npm run stress` (nothing left behind over many outputs), worker
// threads racing on shared ids, an X server going away, a limit on threads,
// and processes that exit with outputs running.
const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { runFuzzChild, runNodeChild } = require('../stress/fuzz_runner');
const { childEnv } = require('../stress/build_paths');

const live = Boolean(process.env.DISPLAY);
const needsX = { skip: !live && 'needs an X server' };

test('random calls return or throw one of the module\'s errors, without a crash or hang', async () => {
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

// Outputs left running at exit still hold what they use, by design: under a
// sanitizer only memory errors count for those runs, not leaks. A limit on
// tasks binds no root process: that scenario runs as a user of its own, so
// nothing else of that user shares the count. Exits race the capture
// threads: several runs side by side give a fault there a chance to show.
const uid = String(61000 + (process.pid % 3000));
const env = childEnv({ ASAN_OPTIONS: `${process.env.ASAN_OPTIONS ?? ''}:detect_leaks=0` });
const scenarios = [
  ['stress 150 6', 'starting and stopping outputs many times leaves nothing behind', { timeoutMs: 300000 }],
  ['workers', 'worker threads share outputs without a crash, a hang or a double stop'],
  ['server-lost', 'an X server killed mid-capture ends it; stop, audio and a restart still work'],
  ['thread-limit', 'a limit on threads fails the start naming the thread, and leaves nothing behind',
    { wrap: process.getuid() === 0 ? ['setpriv', '--reuid', uid, '--regid', uid, '--clear-groups'] : [] }],
  ['exit-explicit', 'a process that exits with outputs running exits with status 0 and says nothing',
    { runs: 6, env }],
  ['exit-natural', 'a process whose event loop runs dry with outputs running ends the same way',
    { runs: 3, env }],
];
for (const [scenario, title, { runs = 1, timeoutMs = 60000, ...options } = {}] of scenarios) {
  test(title, needsX, async () => {
    const args = [path.join(__dirname, '..', 'stress', 'scenario_child.js'), ...scenario.split(' ')];
    const children = Array.from({ length: runs }, () => runNodeChild(args, timeoutMs, options));
    for (const { code, signal, stderr } of await Promise.all(children)) {
      assert.deepStrictEqual({ code, signal, stderr }, { code: 0, signal: null, stderr: '' });
    }
  });
}
