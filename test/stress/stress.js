'use strict';
// The full stress run: one output id started and stopped a thousand times,
// then twenty outputs at once, fifty times over, on animated test windows
// with audio in between. Prints the figures; fails on any leak.
//   node test/stress/stress.js [--cycles 1000] [--rounds 50]
const { runStress, problems, summary } = require('./stress_runner');

function option(name, fallback) {
  const at = process.argv.indexOf(name);
  return at >= 0 ? Number(process.argv[at + 1]) : fallback;
}

runStress({ cycles: option('--cycles', 1000), rounds: option('--rounds', 50) }).then((report) => {
  console.log(`stress: ${summary(report)}`);
  const found = problems(report);
  for (const problem of found) console.log(`FAIL: ${problem}`);
  process.exitCode = found.length ? 1 : 0;
}, (error) => {
  console.log(`FAIL: ${error.message}`);
  process.exitCode = 1;
});
