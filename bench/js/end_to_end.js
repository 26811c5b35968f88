'use strict';
// A window redrawn continuously (the test window's animation, about 60
// pictures a second) published through the stand-in runtime: frames per
// second delivered, and the capture thread's CPU time per frame read from
// /proc, for windows without alpha (24-bit) and with it (32-bit), beside a
// memcpy of the frame timed in the same run. Run the stand-in with TARVIX_STANDIN_VIDEO_BYTES=off to leave its
// copy of each frame out of the capture thread's time (bench/run.js runs
// both ways).
const fs = require('node:fs');
const { addon, TestWindow, eventually, instanceNamed, median, report, options, sleep } =
  require('./measure.js');

const opts = options({ seconds: 10, runs: 3, width: 0, height: 0 });
const ticksPerSecond = 100;  // USER_HZ on Linux

// CPU seconds of one thread: schedstat's nanoseconds on CPU when the kernel
// keeps them, else utime + stime from stat in clock ticks.
function cpuOf(task) {
  try {
    return Number(fs.readFileSync(`${task}/schedstat`, 'utf8').split(' ')[0]) / 1e9;
  } catch {
    // Fields after the parenthesised name: utime and stime are 14th and 15th.
    const stat = fs.readFileSync(`${task}/stat`, 'utf8');
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    return (Number(fields[11]) + Number(fields[12])) / ticksPerSecond;
  }
}

// Minor page faults of one thread: the 10th field of stat.
function faultsOf(task) {
  const stat = fs.readFileSync(`${task}/stat`, 'utf8');
  return Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[7]);
}

// `of` summed over this process's threads named `name`.
function sumOverThreads(name, of) {
  let sum = 0;
  for (const tid of fs.readdirSync('/proc/self/task')) {
    const task = `/proc/self/task/${tid}`;
    try {
      if (fs.readFileSync(`${task}/comm`, 'utf8').trim() === name) sum += of(task);
    } catch {
      // The thread ended meanwhile.
    }
  }
  return sum;
}

const threadCpu = (name) => sumOverThreads(name, cpuOf);
const threadFaults = (name) => sumOverThreads(name, faultsOf);

// Milliseconds per copy of a frame between two buffers larger than the
// caches can keep, so each copy reads cold memory like a captured frame.
function memcpyMs(bytes) {
  const buffers = Array.from({ length: 4 }, () => Buffer.alloc(bytes, 1));
  const times = [];
  for (let i = 0; i < 24; i++) {
    const start = process.hrtime.bigint();
    buffers[i % 4].copy(buffers[(i + 1) % 4]);
    times.push(Number(process.hrtime.bigint() - start) / 1e6);
  }
  return median(times);
}

async function measure(width, height, argb) {
  const window = await TestWindow.open({ width, height, argb });
  const name = `bench ${width}x${height}${argb ? ' argb' : ''}`;
  addon.ndiOutputStart(window.handle(), name, name);
  await eventually(() => (instanceNamed(name)?.videoFrames ?? 0) > 0, 'a first frame');
  await window.command('animate on');
  await sleep(500);  // past the first resize-free frames into steady state
  const frames0 = instanceNamed(name).videoFrames;
  const capture0 = threadCpu('tarvix capture');
  const watch0 = threadCpu('tarvix-x11-watch');
  const faults0 = threadFaults('tarvix capture');
  const start = process.hrtime.bigint();
  await sleep(opts.seconds * 1000);
  const frames = instanceNamed(name).videoFrames - frames0;
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  const capture = threadCpu('tarvix capture') - capture0;
  const watch = threadCpu('tarvix-x11-watch') - watch0;
  const faults = threadFaults('tarvix capture') - faults0;
  addon.ndiOutputStop(name);
  await window.command('animate off');
  await window.close();
  return { fps: frames / seconds, captureMs: (capture * 1e3) / frames, watchMs: (watch * 1e3) / frames,
    faults: faults / frames, memcpyMs: memcpyMs(width * height * 4) };
}

async function main() {
  const sizes = opts.width ? [[opts.width, opts.height]] : [[1920, 1080], [3840, 2160]];
  const copy = process.env.TARVIX_STANDIN_VIDEO_BYTES === 'off' ? 'no stand-in copy' : 'stand-in copy';
  for (const [width, height] of sizes) {
    const runs = [];
    const argbRuns = [];
    for (let r = 0; r < opts.runs; r++) {
      runs.push(await measure(width, height, false));
      argbRuns.push(await measure(width, height, true));
    }
    const group = `end to end ${width}x${height}, ${opts.seconds} s (${copy})`;
    const row = (name, key, unit, target, of = runs) =>
      report({ group, name, value: median(of.map((x) => x[key])), unit, runs: opts.runs, target });
    const perMemcpy = (of) => of.map((x) => ({ ratio: x.captureMs / x.memcpyMs }));
    row('frames per second delivered', 'fps', 'fps');
    row('capture thread CPU per frame', 'captureMs', 'ms',
      width >= 3840 && copy === 'no stand-in copy' ? '<= 8' : undefined);
    row('capture thread CPU per frame, 32-bit window', 'captureMs', 'ms', undefined, argbRuns);
    row('memcpy of the frame, same run', 'memcpyMs', 'ms', undefined, [...runs, ...argbRuns]);
    row('capture thread CPU / memcpy, 24-bit window', 'ratio', 'x',
      copy === 'no stand-in copy' ? '<= 1.3' : undefined, perMemcpy(runs));
    row('capture thread CPU / memcpy, 32-bit window', 'ratio', 'x', undefined, perMemcpy(argbRuns));
    row('capture thread page faults per frame', 'faults', 'per frame',
      width >= 3840 ? '0' : undefined);
    row('X11 watcher thread CPU per frame', 'watchMs', 'ms');
  }
}

main().catch((error) => { console.error(error); process.exit(1); });
