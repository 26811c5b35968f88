'use strict';
// A private Xvfb for tests that take the X server down. It picks a free
// display itself (-displayfd) and is stopped by its process id.
const { spawn } = require('node:child_process');
const { systemEnv } = require('./build_paths');

function startXServer() {
  return new Promise((resolve, reject) => {
    const server = spawn('Xvfb', ['-displayfd', '1', '-screen', '0', '640x480x24', '-nolisten', 'tcp',
      '-noreset'], { stdio: ['ignore', 'pipe', 'ignore'], env: systemEnv() });
    let out = '';
    server.once('error', reject);
    server.once('exit', (code) => reject(new Error(`Xvfb exited (${code}) before it was ready`)));
    server.stdout.on('data', (d) => {
      out += d;
      if (!out.includes('\n')) return;
      const display = `:${out.trim()}`;
      const exited = new Promise((done) => server.once('exit', () => done()));
      resolve({ display, kill: (signal = 'SIGKILL') => { server.kill(signal); return exited; } });
    });
  });
}

module.exports = { startXServer };
