'use strict';
// Nanoseconds per ndiOutputSendAudio of 480 stereo samples (10 ms at 48 kHz),
// beside calls that decode the same four arguments with the same
// conversions and do nothing else, or copy the block once. The three are
// timed in alternating rounds in one process; each figure is the median.
const path = require('node:path');
const { addon, TestWindow, median, report, options } = require('./measure.js');

const { buildDir } = require('../../test/js/output_helpers.js');
const bare = require(path.join(buildDir, 'bench', 'tarvix_bench_bare_call.node'));

const opts = options({ rounds: 15, calls: 20000 });

function nsPerCall(call, calls) {
  const start = process.hrtime.bigint();
  for (let i = 0; i < calls; i++) call();
  return Number(process.hrtime.bigint() - start) / calls;
}

async function main() {
  const window = await TestWindow.open({ width: 64, height: 48 });
  const id = 'bench audio';
  addon.ndiOutputStart(window.handle(), id, id);
  const block = new Float32Array(480 * 2).map((_, i) => Math.sin(i / 10));
  const samples = Buffer.from(block.buffer);
  const kinds = {
    ndiOutputSendAudio: () => addon.ndiOutputSendAudio(id, samples, 48000, 2),
    bare_four_arguments: () => bare.readFourArguments(id, samples, 48000, 2),
    bare_four_arguments_and_copy: () => bare.readFourArgumentsAndCopy(id, samples, 48000, 2),
  };
  const times = Object.fromEntries(Object.keys(kinds).map((k) => [k, []]));
  for (const call of Object.values(kinds)) nsPerCall(call, opts.calls);  // warm up
  for (let r = 0; r < opts.rounds; r++) {
    for (const [kind, call] of Object.entries(kinds)) times[kind].push(nsPerCall(call, opts.calls));
  }
  addon.ndiOutputStop(id);
  await window.close();
  const medians = Object.fromEntries(Object.entries(times).map(([k, v]) => [k, median(v)]));
  for (const [kind, value] of Object.entries(medians)) {
    report({ group: 'audio call, 480 stereo samples', name: kind, value, unit: 'ns/call',
      runs: opts.rounds });
  }
  report({ group: 'audio call, 480 stereo samples', name: 'send / (bare + copy)',
    value: medians.ndiOutputSendAudio / medians.bare_four_arguments_and_copy, unit: 'x',
    runs: opts.rounds, target: '<= 2' });
}

main().catch((error) => { console.error(error); process.exit(1); });
