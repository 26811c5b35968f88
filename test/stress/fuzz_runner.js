'use strict';
// Runs fuzz_child.js (and other long-run children) in a child process and
// judges how it ended: a summary line and exit 0 is a pass; a described
// mismatch, a signal, an abort message or a run past its time limit is a
// failure, reported with the seed.
const { spawn } = require('node:child_process');
const path = require('node:path');
const { childEnv } = require('./build_paths');

const child = path.join(__dirname, 'fuzz_child.js');

// Runs a node script in a child process with the stand-in runtime, killing
// it after `timeoutMs`; resolves with how it ended and its last stdout line
// parsed as JSON (null when it is not).
function runNodeChild(args, timeoutMs) {
  return new Promise((resolve) => {
    const proc = spawn(process.execPath, args, { env: childEnv(), stdio: ['ignore', 'pipe', 'pipe'] });
    let stdout = '';
    let stderr = '';
    proc.stdout.on('data', (d) => { stdout += d; });
    proc.stderr.on('data', (d) => { stderr = (stderr + d).slice(-4000); });
    let timedOut = false;
    const timer = setTimeout(() => {
      timedOut = true;
      proc.kill('SIGKILL');
    }, timeoutMs);
    proc.on('close', (code, signal) => {
      clearTimeout(timer);
      const last = stdout.trim().split('\n').pop() || '';
      let report = null;
      try {
        report = JSON.parse(last);
      } catch {
        report = null;
      }
      resolve({ code, signal, timedOut, report, last, stderr });
    });
  });
}

async function runFuzzChild({ seed, calls, live, worker = false, timeoutMs = 120000 }) {
  const args = [child, '--seed', String(seed), '--calls', String(calls)];
  if (live) args.push('--live');
  if (worker) args.push('--worker');
  const repeat = `node ${path.relative(process.cwd(), child)} ${args.slice(1).join(' ')} --trace`;
  const { code, signal, timedOut, report: summary, last, stderr } = await runNodeChild(args, timeoutMs);
  if (code === 0 && summary && !timedOut) return { ok: true, summary, stderr };
  let reason;
  if (timedOut) reason = `no end after ${timeoutMs} ms (hang)`;
  else if (signal) reason = `killed by ${signal} (crash)`;
  else if (summary && summary.calls && summary.liveInstances) {
    reason = `${summary.liveInstances} send instances left alive after stopping every id`;
  } else if (summary && summary.calls) {
    reason = `exit ${code} after a clean run (a sanitizer report at exit?)`;
  } else if (summary) reason = last;
  else reason = `exit ${code} without a summary (crash or abort)`;
  if (stderr.trim()) reason += `\n  stderr: ${stderr.trim().split('\n').slice(-8).join('\n          ')}`;
  return { ok: false, reason, repeat, summary };
}

module.exports = { runFuzzChild, runNodeChild };
