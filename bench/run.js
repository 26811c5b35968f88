'use strict';
// Runs every benchmark and prints one table of medians: the Google Benchmark
// programs (with repetitions, read back as JSON) and the JS benchmarks under
// the X server this runs in (scripts/bench provides one).
//   node bench/run.js [--quick] [--only=part,...]
// --quick: fewer repetitions and 2 s instead of 10 s end to end.
// --only: some of kernel, forwarder, audio, end-to-end, latency.
// TARVIX_BUILD_DIR selects the build folder (default build/).
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const root = path.resolve(__dirname, '..');
const buildDir = path.resolve(root, process.env.TARVIX_BUILD_DIR || 'build');
const quick = process.argv.includes('--quick');
const repetitions = quick ? 3 : 5;
const onlyArg = process.argv.find((a) => a.startsWith('--only='));
const parts = onlyArg ? onlyArg.slice('--only='.length).split(',') : null;
const wanted = (part) => !parts || parts.includes(part);
const env = {
  ...process.env,
  TARVIX_BUILD_DIR: buildDir,
  LD_LIBRARY_PATH: [path.join(buildDir, 'standin'), process.env.LD_LIBRARY_PATH]
    .filter(Boolean).join(':'),
};

const rows = [];

function log(text) {
  process.stderr.write(`bench: ${text}\n`);
}

function googleBenchmark(program, args = []) {
  const file = path.join(buildDir, 'bench', program);
  if (!fs.existsSync(file)) {
    log(`${program} not built (Google Benchmark missing?): skipped`);
    return [];
  }
  log(`running ${program}`);
  const out = execFileSync(file, [`--benchmark_repetitions=${repetitions}`,
    '--benchmark_report_aggregates_only=true', '--benchmark_format=json', ...args],
  { env, maxBuffer: 64 << 20, stdio: ['ignore', 'pipe', 'inherit'] });
  // Aggregates of a constant counter include a coefficient of variation of
  // 0 / 0, which the JSON output writes as a bare NaN.
  const text = out.toString().replace(/:\s*-?(?:nan|NaN|inf|Infinity)\b/g, ': null');
  return JSON.parse(text).benchmarks.filter((b) => b.aggregate_name === 'median');
}

function straightAlpha() {
  for (const b of googleBenchmark('straight_alpha_bench')) {
    // straight_alpha/<W>x<H>/pitch+<P>/<content>/<kernel>
    const [, size, pitch, content, kernel] = b.run_name.split('/');
    const group = `straight-alpha copy ${size}, ${pitch.replace('pitch+', 'pitch 4W+')}, ${content}`;
    if (b.error_occurred) {
      rows.push({ group, name: kernel, value: NaN, unit: 'skipped', runs: repetitions });
      continue;
    }
    const targets = { opaque: '<= 1.1', random: '<= 1.5' };
    const target = kernel === 'avx2' ? targets[content] : undefined;
    if (kernel === 'memcpy') {
      rows.push({ group, name: 'memcpy per frame', value: b.real_time, unit: b.time_unit,
        runs: repetitions });
    } else {
      rows.push({ group, name: `${kernel} / memcpy`, value: b.x_memcpy, unit: 'x', runs: repetitions,
        target });
    }
  }
}

function forwarder() {
  for (const b of googleBenchmark('forwarder_bench')) {
    const match = /BM_ForwardFrame\/w:(\d+)\/h:(\d+)\/standin_copy:(\d)/.exec(b.run_name);
    if (match) {
      const group = `forwarder per frame ${match[1]}x${match[2]}, ` +
        `${match[3] === '1' ? 'with' : 'without'} the stand-in's copy`;
      rows.push({ group, name: 'wall time', value: b.real_time, unit: b.time_unit, runs: repetitions });
      rows.push({ group, name: 'page faults', value: b.faults_per_frame, unit: 'per frame',
        runs: repetitions, target: match[1] === '3840' ? '0' : undefined });
    } else if (b.run_name.startsWith('BM_SendAudioBlock')) {
      rows.push({ group: 'audio block through the registry (native)', name: 'one 480 x 2 block',
        value: b.real_time, unit: b.time_unit, runs: repetitions });
    }
  }
}

function jsBenchmark(script, args = [], extraEnv = {}) {
  log(`running ${script} ${args.join(' ')}`);
  const out = execFileSync(process.execPath, [path.join(__dirname, 'js', script), ...args],
    { env: { ...env, ...extraEnv }, stdio: ['ignore', 'pipe', 'inherit'] });
  for (const line of out.toString().split('\n')) {
    if (line.trim()) rows.push(JSON.parse(line));
  }
}

function format(value) {
  if (!Number.isFinite(value)) return '-';
  if (value === 0) return '0';
  if (Math.abs(value) >= 100) return value.toFixed(0);
  if (Math.abs(value) >= 1) return value.toFixed(2);
  return value.toPrecision(3);
}

function printTable() {
  const header = ['measure', 'case', 'median', 'unit', 'target', 'runs'];
  const body = rows.map((r) => [r.group, r.name, format(r.value), r.unit, r.target ?? '',
    String(r.runs ?? '')]);
  const widths = header.map((h, i) => Math.max(h.length, ...body.map((b) => b[i].length)));
  const line = (cells) => `| ${cells.map((c, i) => (i === 2 ? c.padStart(widths[i]) : c.padEnd(widths[i]))).join(' | ')} |`;
  const cpu = os.cpus()[0]?.model ?? 'unknown processor';
  console.log(`Machine: ${cpu}, ${os.cpus().length} logical CPUs, Linux ${os.release()}, node ${process.version}`);
  console.log(line(header));
  console.log(line(widths.map((w) => '-'.repeat(w))));
  for (const b of body) console.log(line(b));
}

function main() {
  const seconds = quick ? 2 : 10;
  const runs = quick ? 2 : 3;
  if (wanted('kernel')) straightAlpha();
  if (wanted('forwarder')) forwarder();
  if (wanted('audio')) jsBenchmark('audio_call.js', quick ? ['--rounds=7'] : []);
  if (wanted('end-to-end')) {
    jsBenchmark('end_to_end.js', [`--seconds=${seconds}`, `--runs=${runs}`],
      { TARVIX_STANDIN_VIDEO_BYTES: 'off' });
    jsBenchmark('end_to_end.js', [`--seconds=${seconds}`, `--runs=${runs}`]);
  }
  if (wanted('latency')) jsBenchmark('output_latency.js', quick ? ['--runs=5'] : []);
  printTable();
  fs.writeFileSync(path.join(buildDir, 'bench', 'results.json'), `${JSON.stringify(rows, null, 1)}\n`);
}

main();
