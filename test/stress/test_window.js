'use strict';
// Real X11 windows for the tests: the test-window program, started under the
// X server in DISPLAY, driven through its standard input. Its lines come back
// in order, so each command waits for the next one.
const { spawn } = require('node:child_process');
const readline = require('node:readline');
const { testWindow } = require('./build_paths');

class TestWindow {
  static async open({ width = 64, height = 48, argb = false, x = 0, y = 0 } = {}, env = process.env) {
    const args = ['--size', `${width}x${height}`, '--pos', `${x},${y}`];
    const window = await openTestWindow(argb ? [...args, '--argb'] : args, env);
    return Object.assign(window, { width, height, argb });
  }

  constructor(child) {
    this.child = child;
    this.lines = [];
    this.waiters = [];
    this.exited = new Promise((resolve) => child.once('exit', (code, signal) => {
      this.waiters.splice(0).forEach((w) => w(null));
      resolve({ code, signal });
    }));
    readline.createInterface({ input: child.stdout }).on('line', (line) => {
      const waiter = this.waiters.shift();
      if (waiter) waiter(line);
      else this.lines.push(line);
    });
  }

  nextLine() {
    if (this.lines.length > 0) return Promise.resolve(this.lines.shift());
    if (this.child.exitCode !== null || this.child.signalCode !== null) return Promise.resolve(null);
    return new Promise((resolve) => this.waiters.push(resolve));
  }

  async command(text) {
    this.child.stdin.write(`${text}\n`);
    const reply = await this.nextLine();
    if (reply !== 'ok' && reply !== 'closed') throw new Error(`test window: ${text} -> ${reply}`);
  }

  // The handle as ndiOutputStart takes it: the id in the first 8 bytes.
  handle(length = 8) {
    const bytes = Buffer.alloc(Math.max(length, 8), 0xcd);
    bytes.writeBigUInt64LE(this.id);
    return bytes.subarray(0, length);
  }

  kill(signal = 'SIGKILL') {
    this.child.kill(signal);
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
  const first = await Promise.race([window.nextLine(),
    new Promise((resolve, reject) => child.once('error', reject))]);
  if (first === null) throw new Error(`test window exited early (${child.exitCode})`);
  window.id = BigInt(first.split(' ')[0]);
  return window;
}

module.exports = { TestWindow, openTestWindow };
