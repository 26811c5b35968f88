'use strict';
// Fuzzes the three script functions for as long as asked, one seeded child
// process per run (every other one calling from a worker thread), and reports
// the seed of every failing run: a wrong kind of outcome, a crash, an abort or
// a hang. With an X server in DISPLAY the runs also start outputs on a real
// test window, so that audio reaches running senders.
//   node test/stress/fuzz.js [--seconds 60] [--seed N] [--calls 5000] [--no-live]
const { runFuzzChild } = require('./fuzz_runner');
const { randomSeed } = require('./random');

const option = (name, fallback) =>
  (process.argv.includes(name) ? Number(process.argv[process.argv.indexOf(name) + 1]) : fallback);

async function main() {
  const seconds = option('--seconds', 60);
  const calls = option('--calls', 5000);
  const firstSeed = option('--seed', randomSeed()) >>> 0;
  const live = Boolean(process.env.DISPLAY) && !process.argv.includes('--no-live');
  const deadline = Date.now() + seconds * 1000;
  const failures = [];
  let runs = 0;
  console.log(`fuzz: ${seconds} s, ${calls} calls per run, seeds from ${firstSeed}, live ${live}`);
  for (let seed = firstSeed; Date.now() < deadline; seed = (seed + 1) >>> 0, runs++) {
    const run = await runFuzzChild({ seed, calls, live, worker: runs % 2 === 1 });
    if (run.ok) continue;
    failures.push(seed);
    console.log(`FAIL seed ${seed}: ${run.reason}\n  repeat: ${run.repeat}`);
  }
  console.log(`fuzz: ${runs} runs of ${calls} calls, failing seeds: ${failures.join(' ') || 'none'}`);
  process.exitCode = failures.length ? 1 : 0;
}

main();
