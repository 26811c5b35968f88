'use strict';
// Several script threads using the module at once, in a child process that is
// killed if it hangs: worker threads and the main thread start, feed and stop
// outputs under shared ids; afterwards every sender was destroyed exactly
// once. A worker terminated while its output runs leaves the output running,
// and the main thread can feed and stop it.
const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { runNodeChild } = require('../stress/fuzz_runner');

const child = path.join(__dirname, '..', 'stress', 'workers_child.js');

test('worker threads and the main thread share outputs without a crash, a hang or a double stop', { skip: !process.env.DISPLAY && 'needs an X server' }, async () => {
  const { code, signal, report, stderr } =
    await runNodeChild([child, '--workers', '3', '--iterations', '150'], 120000);
  assert.strictEqual(signal, null, `the process died of ${signal} (killed after a hang?)\n${stderr}`);
  assert.strictEqual(code, 0, `exit ${code}: ${report && report.error}\n${stderr}`);
  const threads = [report.main, ...report.workers];
  for (const done of threads) {
    // Operations on shared ids that find them taken or free succeed quietly.
    assert.deepStrictEqual(done.errors, []);
  }
  assert.ok(report.raced.instances > 0, 'no output was started');
  assert.deepStrictEqual(report.raced.undestroyed, [], 'senders left behind');
  assert.strictEqual(report.raced.liveAfterStops, 0);
  assert.strictEqual(report.raced.misuse, 0, 'a sender was used or destroyed after its end');

  const { kept } = report;
  assert.strictEqual(kept.destroyedBeforeStop, false, 'terminating the worker stopped its output');
  assert.ok(kept.framesLater > kept.framesAtTerminate, 'video stopped with the worker');
  assert.strictEqual(kept.audioLater, kept.audioAtTerminate + 1, 'the main thread could not feed it');
  assert.strictEqual(kept.destroyedAfterStop, true, 'the main thread could not stop it');
  assert.strictEqual(report.library.liveInstances, 0);
  assert.strictEqual(report.library.misuse, 0);
});
