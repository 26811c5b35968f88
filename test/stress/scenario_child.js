'use strict';
// One scenario per process, each run by reliability.test.js, which kills a
// child that hangs. A scenario checks what it sees itself: it exits 0 and
// writes nothing, or writes the check that broke and exits 1.
//   node scenario_child.js workers | server-lost | thread-limit |
//                          exit-explicit | exit-natural | stress [once] [together]
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { spawn } = require('node:child_process');
const readline = require('node:readline');
const { Worker, isMainThread, parentPort, workerData } = require('node:worker_threads');
const { addon, probe, eventually } = require('../js/output_helpers');
const { createRandom } = require('./random');
const { openTestWindow } = require('./test_window');

const block = Buffer.alloc(480 * 2 * 4);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const newest = () => probe.library().instancesCreated;

async function animatedWindow() {
  const window = await openTestWindow();
  await window.command('animate on');
  return window;
}

const handleOf = (windowId) => Buffer.from(BigUint64Array.of(windowId).buffer);

// Starts, feeds and stops outputs at random under a few shared ids.
const sharedIds = ['shared 0', 'shared 1', 'shared 2', 'shared 3'];
function race(seed, windowIds, calls) {
  const rng = createRandom(seed);
  for (let i = 0; i < calls; i++) {
    const id = rng.pick(sharedIds);
    [() => addon.ndiOutputStart(handleOf(rng.pick(windowIds)), id, `Race ${id}`),
      () => addon.ndiOutputStop(id),
      () => addon.ndiOutputSendAudio(id, block, 48000, 2)][rng.int(3)]();
  }
}

function inWorker({ mode, seed, windowIds }) {
  if (mode === 'race') return parentPort.postMessage(race(seed, windowIds, 150));
  // 'keep': start an output, say so, and feed it until terminated.
  addon.ndiOutputStart(handleOf(windowIds[0]), 'kept', 'Kept after terminate');
  parentPort.postMessage('started');
  for (;;) addon.ndiOutputSendAudio('kept', block, 48000, 2);
}

function startWorker(data) {
  const worker = new Worker(__filename, { workerData: data });
  const message = new Promise((resolve, reject) => worker.once('message', resolve).once('error', reject));
  return { worker, message };
}

// Worker threads race on shared ids: no call fails, and every sender is
// destroyed, once. Then a worker is terminated while its output runs: the
// output goes on, for the main thread to feed and stop.
async function workers() {
  const windows = [await animatedWindow(), await animatedWindow(), await animatedWindow()];
  const windowIds = windows.map((window) => window.id);
  await Promise.all([1, 2, 3].map((seed) => startWorker({ mode: 'race', seed, windowIds }).message));
  for (const id of sharedIds) addon.ndiOutputStop(id);
  assert.deepEqual([probe.library().liveInstances, probe.library().misuse], [0, 0]);

  const keeper = startWorker({ mode: 'keep', windowIds });
  await keeper.message;
  await keeper.worker.terminate();
  const { id, audioBlocks, videoFrames } = probe.instance(newest());
  addon.ndiOutputSendAudio('kept', block, 48000, 2);
  assert.equal(probe.instance(id).audioBlocks, audioBlocks + 1, 'the main thread could not feed it');
  await eventually(() => probe.instance(id).videoFrames > videoFrames, 'video after the worker ended');
  addon.ndiOutputStop('kept');
  assert.equal(probe.instance(id).destroyed, true);
  assert.deepEqual([probe.library().liveInstances, probe.library().misuse], [0, 0]);
  for (const window of windows) await window.close();
}

// A private X server, so that it can be killed; it picks a free display.
function startXServer() {
  const server = spawn('Xvfb', ['-displayfd', '1', '-screen', '0', '640x480x24', '-nolisten', 'tcp',
    '-noreset'], { stdio: ['ignore', 'pipe', 'ignore'], env: { ...process.env, LD_PRELOAD: '' } });
  const exited = new Promise((resolve) => server.once('exit', resolve));
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    exited.then(() => reject(new Error('Xvfb exited before it was ready')));
    readline.createInterface({ input: server.stdout }).once('line', (display) => {
      process.env.DISPLAY = `:${display.trim()}`;
      resolve({ kill: (signal) => { server.kill(signal); return exited; } });
    });
  });
}

async function startFlowing(window) {
  addon.ndiOutputStart(window.handle(), 'lost', 'Lost');
  const sender = newest();
  await eventually(() => probe.instance(sender).videoFrames > 2, 'video');
  return sender;
}

// The X server goes away mid-capture, which ends the capture: audio is still
// taken until the stop, the stop withdraws the source, starts fail clearly
// until a server is back, and then the id starts again. (A window that goes
// away alone ends the capture the same way, below the module.)
async function serverLost() {
  const server = await startXServer();
  const orphaned = await animatedWindow();
  const sender = await startFlowing(orphaned);
  await server.kill('SIGKILL');
  await orphaned.exited;
  await sleep(300);
  addon.ndiOutputSendAudio('lost', block, 48000, 2);
  assert.equal(probe.instance(sender).audioBlocks, 1, 'audio refused after the capture ended');
  try {
    addon.ndiOutputStop('lost');
  } catch (error) {
    // Unless the stop came first, it reports how the capture ended.
    assert.equal(error.code, 'GenericFailure');
    assert.match(error.message, /^Windows capture error: /);
  }
  assert.equal(probe.instance(sender).destroyed, true);
  // An X server started meanwhile elsewhere may take the display number.
  assert.throws(() => addon.ndiOutputStart(orphaned.handle(), 'lost', 'No server'),
    { code: 'GenericFailure', message: /Cannot open X display ":\d+": |^Failed to convert item/ });
  assert.equal(addon.ndiOutputSendAudio('lost', block, 48000, 2), undefined);

  const next = await startXServer();
  const fresh = await animatedWindow();
  await startFlowing(fresh);
  assert.equal(addon.ndiOutputStop('lost'), undefined);
  await fresh.close();
  await next.kill('SIGTERM');
}

// Tasks (threads of every process) of this user: what the limit counts.
const userTasks = () => fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name)).reduce((tasks, pid) => {
  try {
    const status = fs.readFileSync(`/proc/${pid}/status`, 'utf8');
    const own = Number(/^Uid:\s+(\d+)/m.exec(status)[1]) === process.getuid();
    return tasks + (own ? Number(/^Threads:\s+(\d+)/m.exec(status)[1]) : 0);
  } catch {
    return tasks;  // ended meanwhile
  }
}, 0);

// Sets this process's soft limit on tasks (null: the usual one) through a
// helper started while there was room: under the limit, none could start.
function taskLimiter() {
  const helper = spawn('bash', ['-c',
    `while read -r soft; do prlimit --pid ${process.pid} --nproc="$soft": && echo ok; done`]);
  const answers = readline.createInterface({ input: helper.stdout })[Symbol.asyncIterator]();
  const usual = /^Max processes\s+(\S+)/m.exec(fs.readFileSync('/proc/self/limits', 'utf8'))[1];
  return {
    async limit(spare) {
      helper.stdin.write(`${spare === null ? usual : userTasks() + spare}\n`);
      assert.equal((await answers.next()).value, 'ok', 'prlimit failed');
    },
    close: () => helper.stdin.end(),
  };
}

// Starts with room for no new thread, then for one more each time: the
// capture thread, then each thread the X backend needs, is refused in turn;
// each refusal names the thread and leaves nothing behind.
async function threadLimit() {
  const window = await animatedWindow();
  const limiter = taskLimiter();
  const before = userTasks();
  const refusals = [];
  for (let spare = 0; ; spare++) {
    assert.ok(spare < 6, 'no start succeeded');
    await limiter.limit(spare);
    try {
      addon.ndiOutputStart(window.handle(), 'limited', 'Thread limit');
      break;
    } catch (error) {
      refusals.push(error);
    } finally {
      await limiter.limit(null);
    }
    await eventually(() => userTasks() === before && probe.library().liveInstances === 0,
      `nothing left behind by: ${refusals.at(-1).message}`);
  }
  limiter.close();
  assert.ok(refusals.length >= 2, refusals.join('\n'));
  assert.equal(refusals[0].message, 'Failed to spawn the capture thread: Resource temporarily unavailable');
  for (const { code, message } of refusals) {
    assert.equal(code, 'GenericFailure');
    assert.match(message, / thread: Resource temporarily unavailable/);
  }
  await eventually(() => probe.instance(newest()).videoFrames > 2, 'video once threads were allowed');
  addon.ndiOutputStop('limited');
  await window.close();
}

// Outputs still running when the process ends, by process.exit or by its
// event loop running dry: the parent checks the exit.
async function exitRunning(explicit) {
  const windows = [await animatedWindow(), await animatedWindow(), await animatedWindow()];
  windows.forEach((window, i) => addon.ndiOutputStart(window.handle(), `left ${i}`, `Left ${i}`));
  await eventually(() => [1, 2, 3].every((id) => probe.instance(id).videoFrames > 2), 'video');
  for (let i = 0; i < 3; i++) addon.ndiOutputSendAudio(`left ${i}`, block, 48000, 2);
  assert.equal(probe.library().liveInstances, 3);
  if (explicit) process.exit(0);
  // Nothing of the windows may keep the event loop alive.
  for (const { child } of windows) {
    child.unref();
    child.stdout.destroy();
    child.stdin._handle?.unref?.();
  }
}

// Outputs started and stopped many times, with audio sent: one id over and
// over, then twenty at once, stopped in another order than started. `turn`
// picks the order.
async function cycle(windows, waitForVideo, turn) {
  const senders = windows.map((window, i) => {
    addon.ndiOutputStart(window.handle(), `output ${i}`, `Stress ${i}`);
    addon.ndiOutputSendAudio(`output ${i}`, block, 48000, 2);
    return newest();
  });
  if (waitForVideo) {
    await eventually(() => senders.every((id) => probe.instance(id).videoFrames > 0), 'video');
  }
  for (let k = 0; k < windows.length; k++) {
    const i = (k * 7 + turn) % windows.length;
    addon.ndiOutputSendAudio(`output ${i}`, block, 48000, 2);
    addon.ndiOutputStop(`output ${i}`);
  }
}

async function cycles(windows, once, together) {
  for (let i = 0; i < once; i++) await cycle(windows.slice(0, 1), i % 10 === 0, i);
  for (let i = 0; i < together; i++) await cycle(windows, true, i);
}

async function figures() {
  await sleep(100);
  require('node:v8').setFlagsFromString('--expose-gc');
  require('node:vm').runInNewContext('gc')();
  const status = fs.readFileSync('/proc/self/status', 'utf8');
  // Segments this process created (their fifth column is the creator).
  const segments = fs.readFileSync('/proc/sysvipc/shm', 'utf8').split('\n').slice(1)
    .filter((line) => Number(line.trim().split(/\s+/)[4]) === process.pid);
  return {
    threads: fs.readdirSync('/proc/self/task').length,
    fds: fs.readdirSync('/proc/self/fd').length,
    // Allocated memory only: the host's code pages come in as they first run.
    anonKiB: Number(/^RssAnon:\s+(\d+)/m.exec(status)[1]),
    segments: segments.length,
  };
}

// Afterwards the process holds what it held before (threads, file
// descriptors, shared memory, allocated memory within a few megabytes),
// every sender is gone and the NDI library still initialised. Prints what it
// did and what it holds.
async function stress(once = '1000', together = '50') {
  const windows = [];
  for (let i = 0; i < 20; i++) windows.push(await animatedWindow());
  // Warm-up: the library, the X connections, thread stacks and allocator
  // arenas reach their steady state before the first measurement.
  await cycles(windows, 20, 3);
  const before = await figures();
  const started = Date.now();
  await cycles(windows, Number(once), Number(together));
  const after = await figures();
  const growth = after.anonKiB - before.anonKiB;
  // The stand-in keeps the records of recent senders only: its own counts.
  const library = probe.library();
  process.stdout.write(`stress: ${library.instancesCreated} outputs (${once} on one id, ${together} ` +
    `rounds of 20, plus warm-up) in ${(Date.now() - started) / 1000} s; before ${JSON.stringify(before)}, ` +
    `after ${JSON.stringify(after)}\n`);
  assert.deepEqual([after.threads, after.fds, after.segments], [before.threads, before.fds, 0]);
  // AddressSanitizer keeps freed memory in quarantine; its leak check takes
  // over there.
  const sanitized = /asan/.test(process.env.LD_PRELOAD || '');
  assert.ok(sanitized || growth < 5 * 1024, `memory grew by ${growth} KiB`);
  // The module's own reference keeps the library while no sender exists.
  assert.deepEqual([library.liveInstances, library.destroyCalls, library.initialized, library.misuse],
    [0, 0, true, 0], 'senders alive, the library torn down, or calls the real runtime would not survive');
  for (const window of windows) await window.close();
}

const scenarios = {
  stress,
  workers,
  'server-lost': serverLost,
  'thread-limit': threadLimit,
  'exit-explicit': () => exitRunning(true),
  'exit-natural': () => exitRunning(false),
};

if (isMainThread) {
  scenarios[process.argv[2]](...process.argv.slice(3)).catch((error) => {
    process.stderr.write(`${error.stack}\n`);
    process.exit(1);
  });
} else {
  inWorker(workerData);
}
