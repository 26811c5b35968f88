'use strict';
// Faults from outside the process, one scenario per run; prints one JSON
// report of what the script saw.
//   node faults_child.js window-killed | server-killed |
//                        thread-limit | exit-explicit | exit-natural
// server-killed starts its own X server; the others use DISPLAY.
const fs = require('node:fs');
const { spawn } = require('node:child_process');
const readline = require('node:readline');
const paths = require('./build_paths');
const { openTestWindow } = require('./test_window');
const { startXServer } = require('./x_server');

const addon = require(paths.addon);
const probe = require(paths.probe);
const block = Buffer.alloc(480 * 2 * 4);

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function until(condition, ms = 10000) {
  for (const end = Date.now() + ms; Date.now() < end; await sleep(5)) {
    if (condition()) return true;
  }
  return false;
}

function outcome(fn) {
  try {
    return { returned: fn() === undefined ? 'undefined' : 'a value' };
  } catch (error) {
    return { code: error.code, message: error.message };
  }
}

function newest() {
  return probe.library().instancesCreated;
}

function frames(instance) {
  return probe.instance(instance).videoFrames;
}

// The window's process dies; the server destroys the window mid-capture.
async function windowKilled() {
  const window = await openTestWindow();
  await window.command('animate on');
  addon.ndiOutputStart(window.handle(), 'victim', 'Window killed');
  const instance = newest();
  const flowing = await until(() => frames(instance) > 2);
  await window.kill('SIGKILL');
  await sleep(300);
  const audioBefore = probe.instance(instance).audioBlocks;
  const audio = outcome(() => addon.ndiOutputSendAudio('victim', block, 48000, 2));
  const audioSent = probe.instance(instance).audioBlocks - audioBefore;
  const stop = outcome(() => addon.ndiOutputStop('victim'));
  const destroyed = probe.instance(instance).destroyed;
  // The id is free again: a new window under the same id.
  const again = await openTestWindow();
  const restart = outcome(() => addon.ndiOutputStart(again.handle(), 'victim', 'Window killed'));
  const restarted = newest();
  const flowsAgain = await until(() => frames(restarted) > 0);
  const stopAgain = outcome(() => addon.ndiOutputStop('victim'));
  await again.close();
  return { flowing, audio, audioSent, stop, destroyed, restart, flowsAgain, stopAgain };
}

// The X server itself goes away mid-capture, then another one comes up.
async function serverKilled() {
  const server = await startXServer();
  const env = { ...process.env, DISPLAY: server.display };
  process.env.DISPLAY = server.display;
  const window = await openTestWindow(['--size', '64x48'], env);
  await window.command('animate on');
  addon.ndiOutputStart(window.handle(), 'doomed', 'Server killed');
  const instance = newest();
  const flowing = await until(() => frames(instance) > 2);
  await server.kill('SIGKILL');
  await window.exited;
  await sleep(300);
  const stop = outcome(() => addon.ndiOutputStop('doomed'));
  const destroyed = probe.instance(instance).destroyed;
  const startWithoutServer = outcome(() => addon.ndiOutputStart(window.handle(), 'doomed', 'No server'));
  const audioWithoutServer = outcome(() => addon.ndiOutputSendAudio('doomed', block, 48000, 2));

  const next = await startXServer();
  process.env.DISPLAY = next.display;
  const fresh = await openTestWindow(['--size', '64x48'], { ...process.env, DISPLAY: next.display });
  const restart = outcome(() => addon.ndiOutputStart(fresh.handle(), 'doomed', 'Server back'));
  const restarted = newest();
  const flowsAgain = await until(() => frames(restarted) > 0);
  const stopAgain = outcome(() => addon.ndiOutputStop('doomed'));
  await fresh.close();
  await next.kill('SIGTERM');
  return {
    flowing, stop, destroyed, startWithoutServer, audioWithoutServer, restart, flowsAgain, stopAgain,
  };
}

// Tasks (threads of every process) of this user: what the kernel's limit
// on tasks counts.
function userTasks() {
  let tasks = 0;
  for (const pid of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      const status = fs.readFileSync(`/proc/${pid}/status`, 'utf8');
      if (Number(/^Uid:\s+(\d+)/m.exec(status)[1]) !== process.getuid()) continue;
      tasks += Number(/^Threads:\s+(\d+)/m.exec(status)[1]);
    } catch {
      // ended meanwhile
    }
  }
  return tasks;
}

// Sets this process's soft limit on tasks through a helper started while
// there was room: under the limit this process cannot start one.
function taskLimiter() {
  const helper = spawn('bash', ['-c',
    `while read -r soft; do prlimit --pid ${process.pid} --nproc="$soft": && echo ok; done`]);
  const lines = readline.createInterface({ input: helper.stdout })[Symbol.asyncIterator]();
  const usual = /^Max processes\s+(\S+)/m.exec(fs.readFileSync('/proc/self/limits', 'utf8'))[1];
  return {
    async limit(spare) {
      helper.stdin.write(`${spare === null ? usual : userTasks() + spare}\n`);
      const answer = await lines.next();
      if (answer.value !== 'ok') throw new Error('prlimit failed');
    },
    close: () => helper.stdin.end(),
  };
}

// Starts with room for no new thread, then for one more each time, until a
// start succeeds: every refusal names the thread and leaves nothing behind.
async function threadLimit() {
  const window = await openTestWindow();
  await window.command('animate on');
  const limiter = taskLimiter();
  const before = { tasks: userTasks(), live: probe.library().liveInstances };
  const refusals = [];
  let started = null;
  for (let spare = 0; spare < 6 && !started; spare++) {
    await limiter.limit(spare);
    const start = outcome(() => addon.ndiOutputStart(window.handle(), 'limited', 'Thread limit'));
    await limiter.limit(null);
    if (start.returned) {
      started = { spare, instance: newest() };
      break;
    }
    refusals.push(start);
    const clean = await until(() => userTasks() === before.tasks
      && probe.library().liveInstances === before.live, 3000);
    if (!clean) {
      limiter.close();
      return { refusals, leftBehind: { tasks: userTasks(), live: probe.library().liveInstances } };
    }
  }
  limiter.close();
  const flowing = started !== null && await until(() => frames(started.instance) > 2);
  const stop = outcome(() => addon.ndiOutputStop('limited'));
  await window.close();
  return { refusals, started: started !== null, flowing, stop };
}

// Outputs still running when the process ends; the parent checks the exit.
async function exitRunning(explicit) {
  const windows = [];
  for (let i = 0; i < 3; i++) {
    const window = await openTestWindow();
    await window.command('animate on');
    addon.ndiOutputStart(window.handle(), `left ${i}`, `Left running ${i}`);
    windows.push(window);
  }
  const flowing = await until(() => [1, 2, 3].every((id) => frames(id) > 2));
  for (let i = 0; i < 3; i++) addon.ndiOutputSendAudio(`left ${i}`, block, 48000, 2);
  process.stdout.write(`${JSON.stringify({ flowing, live: probe.library().liveInstances })}\n`);
  if (explicit) process.exit(0);
  // Let the event loop run dry: nothing of the windows keeps it alive.
  for (const window of windows) {
    window.child.unref();
    window.child.stdin.unref?.();
    window.child.stdout.destroy();
    window.child.stdin._handle?.unref?.();
  }
  return null;
}

const scenarios = {
  'window-killed': windowKilled,
  'server-killed': serverKilled,
  'thread-limit': threadLimit,
  'exit-explicit': () => exitRunning(true),
  'exit-natural': () => exitRunning(false),
};

scenarios[process.argv[2]]().then((report) => {
  if (report) process.stdout.write(`${JSON.stringify(report)}\n`);
}, (error) => {
  process.stdout.write(`${JSON.stringify({ error: String(error && error.stack) })}\n`);
  process.exitCode = 1;
});
