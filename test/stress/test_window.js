'use strict';
// Real X11 windows for the tests: the test-window program, started under the
// X server in DISPLAY, driven through its standard input. Each command waits
// for its reply line.
const { spawn } = require('node:child_process');
const readline = require('node:readline');
const { testWindow } = require('./build_paths');

class TestWindow {
  static async open({ width = 64, height = 48, argb = false, x = 0, y = 0 } = {}, env = process.env) {
    const args = ['--size', `${width}x${height}`, '--pos', `${x},${y}`, ...(argb ? ['--argb'] : [])];
    return Object.assign(await openTestWindow(args, env), { width, height, argb });
  }

  constructor(child) {
    this.child = child;
    this.lines = readline.createInterface({ input: child.stdout })[Symbol.asyncIterator]();
    this.exited = new Promise((resolve) => child.once('exit', (code, signal) => resolve({ code, signal })));
  }

  async command(text) {
    this.child.stdin.write(`${text}\n`);
    const { value } = await this.lines.next();
    if (value !== 'ok' && value !== 'closed') throw new Error(`test window: ${text} -> ${value}`);
  }

  // The handle as ndiOutputStart takes it: the id in the first 8 bytes.
  handle(length = 8) {
    const bytes = Buffer.alloc(Math.max(length, 8), 0xcd);
    bytes.writeBigUInt64LE(this.id);
    return bytes.subarray(0, length);
  }

  kill() {
    this.child.kill('SIGKILL');
    return this.exited;
  }

  // Closing its input makes the program exit; the server destroys the window.
  close() {
    if (this.child.exitCode === null && this.child.signalCode === null) this.child.stdin.end();
    return this.exited;
  }
}

async function openTestWindow(args = ['--size', '64x48'], env = process.env) {
  const child = spawn(testWindow, args, { stdio: ['pipe', 'pipe', 'inherit'], env });
  const window = new TestWindow(child);
  const failed = new Promise((resolve, reject) => child.once('error', reject));
  const { value } = await Promise.race([window.lines.next(), failed]);
  if (value === undefined) throw new Error(`test window exited early (${child.exitCode})`);
  window.id = BigInt(value.split(' ')[0]);
  return window;
}

module.exports = { TestWindow, openTestWindow };
