'use strict';
// Faults from outside the process, each in a child process so that a crash
// or a hang fails the test instead of ending the run: the captured window's
// process killed, the X server killed (a private one, started for the test),
// a limit on threads, and a process that exits with outputs still running.
const test = require('node:test');
const assert = require('node:assert');
const { spawn } = require('node:child_process');
const path = require('node:path');
const { childEnv } = require('../stress/build_paths');

const skip = !process.env.DISPLAY && 'needs an X server';

// Outputs left running at exit still hold what they use, by design: under a
// sanitizer only memory errors count for those runs, not leaks.
function scenarioEnv(name) {
  if (!name.startsWith('exit-')) return childEnv();
  return childEnv({ ASAN_OPTIONS: `${process.env.ASAN_OPTIONS ?? ''}:detect_leaks=0` });
}

// A limit on tasks binds no root process: that scenario runs as a user of
// its own, so nothing else of that user shares the count.
function scenarioCommand(name) {
  const args = [path.join(__dirname, '..', 'stress', 'faults_child.js'), name];
  if (name !== 'thread-limit' || process.getuid() !== 0) return [process.execPath, args];
  const uid = String(61000 + (process.pid % 3000));
  return ['setpriv', ['--reuid', uid, '--regid', uid, '--clear-groups', process.execPath, ...args]];
}

function runScenario(name, timeoutMs = 60000) {
  return new Promise((resolve) => {
    const [command, args] = scenarioCommand(name);
    const child = spawn(command, args, { env: scenarioEnv(name), stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    let stderr = '';
    child.stdout.on('data', (d) => { out += d; });
    child.stderr.on('data', (d) => { stderr += d; });
    let hung = false;
    const timer = setTimeout(() => { hung = true; child.kill('SIGKILL'); }, timeoutMs);
    child.on('close', (code, signal) => {
      clearTimeout(timer);
      let report = null;
      try {
        report = JSON.parse(out.trim().split('\n').pop());
      } catch {
        report = null;
      }
      resolve({ code, signal, hung, stderr, report });
    });
  });
}

function assertClean(run, what) {
  assert.strictEqual(run.hung, false, `${what}: no end (hang)`);
  assert.strictEqual(run.signal, null, `${what}: died of ${run.signal}\n${run.stderr}`);
  assert.strictEqual(run.code, 0, `${what}: exit ${run.code}\n${run.stderr}\n${run.report && run.report.error}`);
  assert.strictEqual(run.stderr, '', `${what}: wrote to stderr`);
}

// A stop after the capture ended by itself reports success or the capture's
// own error, never anything else.
function assertStopEnded(stop) {
  if (stop.returned) return assert.strictEqual(stop.returned, 'undefined');
  assert.strictEqual(stop.code, 'GenericFailure');
  assert.match(stop.message, /^Windows capture error: /);
}

test('a captured window whose process is killed ends its capture; stop and a restart work', { skip }, async () => {
  const run = await runScenario('window-killed');
  assertClean(run, 'window killed');
  const r = run.report;
  assert.ok(r.flowing, 'no video before the kill');
  // Audio still goes to a registered output whose capture has ended.
  assert.deepStrictEqual(r.audio, { returned: 'undefined' });
  assert.strictEqual(r.audioSent, 1);
  assertStopEnded(r.stop);
  assert.strictEqual(r.destroyed, true);
  assert.deepStrictEqual(r.restart, { returned: 'undefined' });
  assert.ok(r.flowsAgain, 'no video after the restart');
  assert.deepStrictEqual(r.stopAgain, { returned: 'undefined' });
});

test('the X server killed mid-capture: stop ends cleanly, starts fail clearly until a server is back', { skip }, async () => {
  const run = await runScenario('server-killed');
  assertClean(run, 'server killed');
  const r = run.report;
  assert.ok(r.flowing);
  assertStopEnded(r.stop);
  assert.strictEqual(r.destroyed, true);
  assert.strictEqual(r.startWithoutServer.code, 'GenericFailure');
  assert.match(r.startWithoutServer.message, /X display|connect/i);
  assert.deepStrictEqual(r.audioWithoutServer, { returned: 'undefined' });
  assert.deepStrictEqual(r.restart, { returned: 'undefined' });
  assert.ok(r.flowsAgain, 'no video from the new server');
  assert.deepStrictEqual(r.stopAgain, { returned: 'undefined' });
});

test('a limit on threads fails the start naming the thread, and leaves nothing behind', { skip }, async () => {
  const run = await runScenario('thread-limit');
  assertClean(run, 'thread limit');
  const r = run.report;
  assert.strictEqual(r.leftBehind, undefined, `left behind: ${JSON.stringify(r.leftBehind)}`);
  // The capture thread, then each thread the X backend needs, is refused in turn.
  assert.ok(r.refusals.length >= 2, JSON.stringify(r.refusals));
  assert.deepStrictEqual(r.refusals[0], {
    code: 'GenericFailure', message: 'Failed to spawn the capture thread: Resource temporarily unavailable',
  });
  for (const refusal of r.refusals.slice(1)) {
    assert.strictEqual(refusal.code, 'GenericFailure');
    assert.match(refusal.message, / thread: Resource temporarily unavailable/);
  }
  assert.ok(r.started && r.flowing, 'no video once threads were allowed');
  assert.deepStrictEqual(r.stop, { returned: 'undefined' });
});

test('a process that exits with outputs running exits with status 0 and says nothing', { skip }, async () => {
  // Capture threads race the exit; several runs give a fault there a chance
  // to show.
  const runs = [];
  for (let i = 0; i < 6; i++) runs.push(['exit-explicit', await runScenario('exit-explicit')]);
  for (let i = 0; i < 3; i++) runs.push(['exit-natural', await runScenario('exit-natural')]);
  for (const [name, run] of runs) {
    assertClean(run, name);
    assert.deepStrictEqual(run.report, { flowing: true, live: 3 }, name);
  }
});
