'use strict';
// Real X11 windows for the tests: the test-window program, started under the
// X server in DISPLAY, driven through its standard input.
const { spawn } = require('node:child_process');
const readline = require('node:readline');
const { testWindow } = require('./build_paths');

class TestWindow {
  constructor(child, id) {
    this.child = child;
    this.id = id;  // BigInt
    this.exited = new Promise((resolve) => child.once('exit', (code, signal) => resolve({ code, signal })));
  }

  // The window handle as the module takes it: 8 little-endian bytes.
  handle() {
    const buffer = Buffer.alloc(8);
    buffer.writeBigUInt64LE(this.id);
    return buffer;
  }

  // Sends one command and waits for its answer line.
  command(line) {
    return new Promise((resolve, reject) => {
      this.lines.once('line', resolve);
      this.child.stdin.write(`${line}\n`, (error) => error && reject(error));
    });
  }

  kill(signal = 'SIGKILL') {
    this.child.kill(signal);
    return this.exited;
  }

  // Closing its input makes the program exit; the server destroys the window.
  close() {
    this.child.stdin.end();
    return this.exited;
  }
}

function openTestWindow(args = ['--size', '64x48'], env = process.env) {
  return new Promise((resolve, reject) => {
    const child = spawn(testWindow, args, { stdio: ['pipe', 'pipe', 'inherit'], env });
    const lines = readline.createInterface({ input: child.stdout });
    child.once('error', reject);
    child.once('exit', (code) => reject(new Error(`test window exited early (${code})`)));
    lines.once('line', (line) => {
      const window = new TestWindow(child, BigInt(line.split(' ')[0]));
      window.lines = lines;
      resolve(window);
    });
  });
}

module.exports = { openTestWindow };
