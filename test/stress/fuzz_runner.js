'use strict';
// Runs fuzz_child.js (and the other long-run children) in a child process
// and judges how it ended: a summary line and exit 0 is a pass; anything
// else (a mismatch, a crash, a sanitizer report, a hang) is a failure,
// reported with what it takes to repeat it.
const { spawn } = require('node:child_process');
const path = require('node:path');
const { childEnv } = require('./build_paths');

const child = path.join(__dirname, 'fuzz_child.js');

// Resolves with how the child ended and its last stdout line parsed as JSON
// (null when it is not); a child past `timeoutMs` is killed. `wrap` is a
// command that runs node (setpriv and its options, say).
function runNodeChild(args, timeoutMs, { env = childEnv(), wrap = [] } = {}) {
  return new Promise((resolve) => {
    const [command, ...rest] = [...wrap, process.execPath, ...args];
    const proc = spawn(command, rest, { env, stdio: ['ignore', 'pipe', 'pipe'] });
    let stdout = '';
    let stderr = '';
    proc.stdout.on('data', (d) => { stdout += d; });
    proc.stderr.on('data', (d) => { stderr = (stderr + d).slice(-4000); });
    const timer = setTimeout(() => proc.kill('SIGKILL'), timeoutMs);
    proc.on('close', (code, signal) => {
      clearTimeout(timer);
      const last = stdout.trim().split('\n').pop() || '';
      let report = null;
      try { report = JSON.parse(last); } catch { /* no report: a crash */ }
      resolve({ code, signal, report, last, stderr });
    });
  });
}

async function runFuzzChild({ seed, calls, live, worker = false, timeoutMs = 120000 }) {
  const args = [child, '--seed', String(seed), '--calls', String(calls),
    ...(live ? ['--live'] : []), ...(worker ? ['--worker'] : [])];
  const { code, signal, report: summary, last, stderr } = await runNodeChild(args, timeoutMs);
  if (code === 0 && summary) return { ok: true, summary };
  const how = signal ? `killed by ${signal} (a crash, or a hang past ${timeoutMs} ms)` : `exit ${code}`;
  const reason = `${how}: ${last}\n  stderr: ${stderr.trim().split('\n').slice(-8).join('\n  ')}`;
  const repeat = `node ${path.relative(process.cwd(), child)} ${args.slice(1).join(' ')} --trace`;
  return { ok: false, reason, repeat, summary };
}

module.exports = { runFuzzChild, runNodeChild };
