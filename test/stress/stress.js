'use strict';
// The long stress run: one output id started and stopped a thousand times,
// then twenty outputs at once, fifty times over (scenario_child.js, stress).
// Prints the figures; fails on anything left behind.
//   node test/stress/stress.js [cycles on one id, 1000] [rounds of twenty, 50]
const path = require('node:path');
const { runNodeChild } = require('./fuzz_runner');

const args = [path.join(__dirname, 'scenario_child.js'), 'stress', ...process.argv.slice(2)];
runNodeChild(args, 3600000).then(({ code, signal, last, stderr }) => {
  process.stdout.write(`${last}\n${stderr}${signal ? `killed by ${signal}\n` : ''}`);
  process.exitCode = code === 0 ? 0 : 1;
});
