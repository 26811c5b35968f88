'use strict';
// What the JS benchmarks share: the built module and probe, the test-window
// program, medians, and the one-line JSON results that bench/run.js reads.
const { addon, probe, TestWindow, eventually, instanceNamed } = require('../../test/js/output_helpers.js');

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const mid = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
}

// One row of the table: `value` is already the median of `runs` runs.
function report(row) {
  process.stdout.write(`${JSON.stringify(row)}\n`);
}

// Command-line flags of the form --name=value, with defaults.
function options(defaults) {
  const out = { ...defaults };
  for (const arg of process.argv.slice(2)) {
    const match = /^--([a-z-]+)(?:=(.*))?$/.exec(arg);
    if (match && match[1] in out) out[match[1]] = match[2] === undefined ? true : Number(match[2]);
  }
  return out;
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

module.exports = { addon, probe, TestWindow, eventually, instanceNamed, median, report, options,
  sleep };
