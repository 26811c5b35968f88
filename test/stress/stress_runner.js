'use strict';
// Runs stress_child.js in a process of its own (so that the figures are that
// process's alone) and checks what it reports.
const path = require('node:path');
const { runNodeChild } = require('./fuzz_runner');

// "A few megabytes": allocator and V8 heap noise stay well below this.
const GROWTH_LIMIT_KIB = 5 * 1024;

async function runStress({ cycles, rounds, ids = 20, timeoutMs = 600000 }) {
  const { code, signal, report, stderr } = await runNodeChild(['--expose-gc',
    path.join(__dirname, 'stress_child.js'), '--cycles', String(cycles), '--rounds', String(rounds),
    '--ids', String(ids)], timeoutMs);
  if (!report || report.error) {
    throw new Error(report ? report.error : `stress run ended with ${signal || code} and no report`);
  }
  return { ...report, code, signal, stderr };
}

// Everything that must hold after a run, as a list of broken promises.
function problems(report) {
  const { before, after, totals, library } = report;
  const found = [];
  const expectedOutputs = report.cycles + report.rounds * report.ids;
  if (report.code !== 0) found.push(`exit ${report.signal || report.code}: ${report.stderr}`);
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

function summary({ before, after, totals, ...run }) {
  return `${totals.started} outputs started and stopped in ${run.seconds} s (${run.cycles} on one ` +
    `id, ${run.rounds} rounds of ${run.ids} at once, plus warm-up); ${totals.videoFrames} frames, ` +
    `${totals.audioBlocks} audio blocks; before -> after: ${JSON.stringify(before)} -> ${JSON.stringify(after)}`;
}

module.exports = { runStress, problems, summary };
