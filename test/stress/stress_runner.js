'use strict';
// Runs stress_child.js in a process of its own (so that the figures are that
// process's alone) and checks what it reports.
const { spawn } = require('node:child_process');
const path = require('node:path');
const { childEnv } = require('./build_paths');

// "A few megabytes": allocator and V8 heap noise stay well below this.
const GROWTH_LIMIT_KIB = 5 * 1024;

function runStress({ cycles, rounds, ids = 20, timeoutMs = 600000 }) {
  const args = ['--expose-gc', path.join(__dirname, 'stress_child.js'),
    '--cycles', String(cycles), '--rounds', String(rounds), '--ids', String(ids)];
  return new Promise((resolve, reject) => {
    const child = spawn(process.execPath, args, { env: childEnv(), stdio: ['ignore', 'pipe', 'inherit'] });
    let out = '';
    child.stdout.on('data', (d) => { out += d; });
    const timer = setTimeout(() => child.kill('SIGKILL'), timeoutMs);
    child.on('close', (code, signal) => {
      clearTimeout(timer);
      try {
        const report = JSON.parse(out.trim().split('\n').pop());
        if (report.error) reject(new Error(report.error));
        else resolve({ ...report, code, signal });
      } catch {
        reject(new Error(`stress run ended with ${signal || code} and no report`));
      }
    });
  });
}

// Everything that must hold after a run, as a list of broken promises.
function problems(report) {
  const { before, after, totals, library } = report;
  const found = [];
  const expectedOutputs = report.cycles + report.rounds * report.ids;
  if (report.code !== 0) found.push(`exit ${report.signal || report.code}`);
  if (after.threads !== before.threads) found.push(`threads ${before.threads} -> ${after.threads}`);
  if (after.fds !== before.fds) found.push(`file descriptors ${before.fds} -> ${after.fds}`);
  if (after.shmSegments.length) found.push(`shared-memory segments left: ${after.shmSegments}`);
  // Allocated memory only: the host's code pages come in as they first run.
  const growth = after.anonKiB - before.anonKiB;
  if (growth > GROWTH_LIMIT_KIB && !report.sanitized) found.push(`allocated memory grew by ${growth} KiB`);
  // Warm-up outputs are counted too.
  if (totals.started < expectedOutputs) found.push(`only ${totals.started} outputs started`);
  if (totals.destroyed !== totals.started) found.push(`senders not destroyed: ${totals.undestroyed}`);
  if (library.liveInstances !== 0) found.push(`${library.liveInstances} send instances alive`);
  // Initialised once, before the first measurement, and kept: the module's
  // own reference holds the library while no sender exists.
  if (!library.initialized) found.push('the NDI library was torn down');
  if (totals.libraryDestructions !== 0) found.push(`NDIlib_destroy called ${totals.libraryDestructions} times`);
  if (totals.misuse !== 0) found.push(`${totals.misuse} calls the real runtime would not survive`);
  if (totals.videoFrames < totals.started) found.push('video did not flow on every output');
  return found;
}

function summary(report) {
  const { before, after, totals } = report;
  return `${totals.started} outputs started and stopped in ${report.seconds} s ` +
    `(${report.cycles} on one id, ${report.rounds} rounds of ${report.ids} at once, plus warm-up); ` +
    `${totals.videoFrames} video frames, ${totals.audioBlocks} audio blocks; ` +
    `threads ${before.threads} -> ${after.threads}, fds ${before.fds} -> ${after.fds}, ` +
    `resident ${before.rssKiB} -> ${after.rssKiB} KiB, of it allocated ${before.anonKiB} -> ` +
    `${after.anonKiB} KiB (${after.anonKiB - before.anonKiB >= 0 ? '+' : ''}${after.anonKiB - before.anonKiB}), ` +
    `own shm segments ${after.shmSegments.length}`;
}

module.exports = { runStress, problems, summary };
