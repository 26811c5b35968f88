'use strict';
// Fuzzes the three script functions for as long as asked, one seeded child
// process per run, and reports the number of calls made and the seed of every
// failing run (a wrong outcome, a crash, an abort or a hang).
//   node test/stress/fuzz.js [--seconds 60] [--seed N] [--calls 5000] [--no-live]
// Every other run makes its calls from a worker thread.
// With an X server in DISPLAY the runs also start outputs on a real test
// window, so audio reaches running senders.
const { runFuzzChild } = require('./fuzz_runner');
const { randomSeed } = require('./random');

function option(name, fallback) {
  const at = process.argv.indexOf(name);
  return at >= 0 ? Number(process.argv[at + 1]) : fallback;
}

async function main() {
  const seconds = option('--seconds', 60);
  const calls = option('--calls', 5000);
  const firstSeed = option('--seed', randomSeed()) >>> 0;
  const live = Boolean(process.env.DISPLAY) && !process.argv.includes('--no-live');
  const deadline = Date.now() + seconds * 1000;
  const totals = { runs: 0, calls: 0, audioBlocksForRunning: 0, failures: [] };
  console.log(`fuzz: ${seconds} s, ${calls} calls per run, seeds from ${firstSeed}, live ${live}`);
  for (let seed = firstSeed; Date.now() < deadline; seed = (seed + 1) >>> 0) {
    const run = await runFuzzChild({ seed, calls, live, worker: totals.runs % 2 === 1 });
    totals.runs += 1;
    if (run.ok) {
      totals.calls += run.summary.calls;
      totals.audioBlocksForRunning += run.summary.audioBlocksForRunning;
      continue;
    }
    totals.failures.push(seed);
    console.log(`FAIL seed ${seed}: ${run.reason}`);
    console.log(`  repeat: ${run.repeat}`);
  }
  console.log(`fuzz: ${totals.runs} runs, ${totals.calls} calls checked, ` +
    `${totals.audioBlocksForRunning} audio blocks for running outputs, ` +
    `${totals.failures.length} failing seeds${totals.failures.length ? `: ${totals.failures.join(' ')}` : ''}`);
  process.exitCode = totals.failures.length ? 1 : 0;
}

main();
