'use strict';
// Shared by the output and audio suites: the module, the stand-in probe, and
// real X11 windows from the test-window program.
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const path = require('node:path');
const readline = require('node:readline');

const root = path.resolve(__dirname, '..', '..');
// TARVIX_BUILD_DIR lets a developer run the suites against a build folder of their own.
const buildDir = path.resolve(root, process.env.TARVIX_BUILD_DIR || 'build');
const addon = require(path.join(buildDir, 'Release', 'tarvix_ndi_addon.node'));
const probe = require(path.join(buildDir, 'test', 'helpers', 'probe', 'tarvix_ndi_probe.node'));
const windowProgram = path.join(buildDir, 'test', 'tarvix_test_window');

// A window of the test-window program. Its lines come back in order, so each
// command waits for the next one.
class TestWindow {
  static async open({ width = 64, height = 48, argb = false, x = 0, y = 0 } = {}) {
    const args = ['--size', `${width}x${height}`, '--pos', `${x},${y}`];
    if (argb) args.push('--argb');
    const child = spawn(windowProgram, args, { stdio: ['pipe', 'pipe', 'inherit'] });
    const window = new TestWindow(child, width, height, argb);
    window.id = BigInt((await window.nextLine()).split(' ')[0]);
    return window;
  }

  constructor(child, width, height, argb) {
    Object.assign(this, { child, width, height, argb });
    this.lines = [];
    this.waiters = [];
    this.exited = new Promise((resolve) => child.once('exit', resolve));
    readline.createInterface({ input: child.stdout }).on('line', (line) => {
      const waiter = this.waiters.shift();
      if (waiter) waiter(line);
      else this.lines.push(line);
    });
    child.once('exit', () => this.waiters.splice(0).forEach((w) => w(null)));
  }

  nextLine() {
    if (this.lines.length > 0) return Promise.resolve(this.lines.shift());
    return new Promise((resolve) => this.waiters.push(resolve));
  }

  async command(text) {
    this.child.stdin.write(`${text}\n`);
    const reply = await this.nextLine();
    assert.ok(reply === 'ok' || reply === 'closed', `test window: ${text} -> ${reply}`);
  }

  // The handle as ndiOutputStart takes it: the id in the first 8 bytes.
  handle(length = 8) {
    const bytes = Buffer.alloc(Math.max(length, 8), 0xcd);
    bytes.writeBigUInt64LE(this.id);
    return bytes.subarray(0, length);
  }

  async close() {
    if (this.child.exitCode === null) {
      this.child.stdin.end();
      await this.exited;
    }
  }
}

// Bounded wait for the capture thread or the X server; not a timing check.
async function eventually(ready, what) {
  for (let i = 0; i < 1000; i++) {
    if (ready()) return;
    await new Promise((resolve) => setTimeout(resolve, 10));
  }
  assert.fail(`gave up waiting: ${what}`);
}

// The newest stand-in instance created under `name`.
function instanceNamed(name) {
  for (let id = probe.library().instancesCreated; id >= 1; id--) {
    const record = probe.instance(id);
    if (record && record.name === name) return record;
  }
  return null;
}

// Waits for a frame of the named source beyond the `count` it had.
async function framesAfter(name, count) {
  await eventually(() => (instanceNamed(name)?.videoFrames ?? 0) > count, `a new frame of ${name}`);
  return instanceNamed(name);
}

function firstFrame(name) {
  return framesAfter(name, 0);
}

// Stops the output and checks that its source was flushed and withdrawn.
function stopAndCheck(outputId, name) {
  assert.equal(addon.ndiOutputStop(outputId), undefined);
  const record = instanceNamed(name);
  assert.equal(record.destroyed, true, `${name} still alive after stop`);
  assert.equal(record.flushedBeforeDestroy, true, `${name} destroyed without a flush`);
}

module.exports = { addon, probe, buildDir, root, TestWindow, eventually, instanceNamed,
  framesAfter, firstFrame, stopAndCheck };
