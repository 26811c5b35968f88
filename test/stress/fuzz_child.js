'use strict';
// One seeded fuzzing run of the script surface, in a process of its own so
// that the parent sees a crash, an abort or a hang with the seed that caused
// it. Prints one JSON summary line and exits 0, or describes the first call
// whose outcome was wrong and exits 1.
//   node fuzz_child.js --seed N --calls N [--live] [--trace]
//     --live   also start outputs on one real test window (needs DISPLAY)
//     --trace  print every call before making it (to find a crashing one)
//     --worker make the calls from a worker thread with its own environment
const util = require('node:util');
const { Worker, isMainThread, parentPort } = require('node:worker_threads');
const paths = require('./build_paths');
const { createRandom } = require('./random');
const values = require('./script_values');
const { CallOracle, matches } = require('./call_oracle');
const { openTestWindow } = require('./test_window');

const addon = require(paths.addon);

function option(name, fallback) {
  const at = process.argv.indexOf(name);
  return at >= 0 ? process.argv[at + 1] : fallback;
}

const seed = Number(option('--seed', '1')) >>> 0;
const calls = Number(option('--calls', '1000'));
const live = process.argv.includes('--live');
const trace = process.argv.includes('--trace');
const inWorker = process.argv.includes('--worker');

const functionNames = ['ndiOutputStart', 'ndiOutputStop', 'ndiOutputSendAudio'];
const slotKinds = {
  ndiOutputStart: ['handle', 'id', 'string'],
  ndiOutputStop: ['id'],
  ndiOutputSendAudio: ['id', 'samples', 'rate', 'channels'],
};
const idPool = ['live', '', 'a', 'A', '\0', 'x\0y', '😀', '\ud800', ' ', 'a'.repeat(300)];
const MAX_RUNNING = 8;

let hugeSamples = null;

function label(value) {
  return util.inspect(value, {
    showProxy: true, depth: 1, maxStringLength: 48, maxArrayLength: 12, breakLength: Infinity,
  });
}

function liveHandle(rng, window) {
  const bytes = Buffer.alloc(rng.pick([8, 8, 16]));
  bytes.writeBigUInt64LE(window.id);
  if (rng.chance(0.5)) return bytes;
  const view = Buffer.from(new ArrayBuffer(bytes.length + 3), 3, bytes.length);
  bytes.copy(view);
  return view;
}

function samples(rng) {
  if (live && rng.chance(0.05)) {
    // Just over the frame limit: refused before anything is copied.
    hugeSamples ??= Buffer.alloc(16 * 1024 * 1024 * 4 + 8);
    return hugeSamples.subarray(0, rng.pick([hugeSamples.length, hugeSamples.length - 4]));
  }
  return values.bytesOfLength(rng, 4 * rng.pick([0, 1, 2, 7, 8, 9, 480, 1026, rng.int(4096)]) +
    rng.pick([0, 0, 1, 3]));
}

// Stops pick running ids less often than audio does, so outputs stay up
// long enough to receive blocks.
const runningIdChance = { ndiOutputStart: 0.2, ndiOutputStop: 0.1, ndiOutputSendAudio: 0.7 };

function slotValue(rng, name, kind, oracle, window) {
  if (rng.chance(0.3)) return values.anyValue(rng);
  switch (kind) {
    case 'handle':
      if (window && oracle.running.size < MAX_RUNNING && rng.chance(0.2)) {
        return liveHandle(rng, window);
      }
      return values.bytes(rng);
    case 'id': {
      const running = oracle.runningIds();
      if (running.length && rng.chance(runningIdChance[name])) return rng.pick(running);
      return rng.chance(0.6) ? rng.pick(idPool) : values.string(rng);
    }
    case 'samples': return samples(rng);
    case 'rate':
      if (rng.chance(0.5)) return values.number(rng);
      return rng.pick([7999, 8000, 44100, 48000, 192000, 192001, 8000 + rng.int(184001)]);
    case 'channels':
      if (rng.chance(0.5)) return values.number(rng);
      return rng.pick([0, 1, 2, 8, 9, 16, 4294967295, rng.int(10)]);
    default: return values.string(rng);
  }
}

function callArguments(rng, name, oracle, window) {
  const kinds = slotKinds[name];
  const count = rng.chance(0.1) ? rng.int(7) : kinds.length;
  const args = [];
  for (let i = 0; i < count; i++) {
    args.push(i < kinds.length ? slotValue(rng, name, kinds[i], oracle, window) : values.anyValue(rng));
  }
  return args;
}

function call(name, args, receiver) {
  try {
    return { returns: addon[name].apply(receiver, args) };
  } catch (threw) {
    return { threw };
  }
}

function describeOutcome(outcome) {
  if ('returns' in outcome) return `returned ${label(outcome.returns)}`;
  const e = outcome.threw;
  if (e instanceof Error) return `threw ${e.constructor.name} code=${e.code} ${label(e.message)}`;
  return 'threw' in outcome ? `threw ${label(e)}` : label(outcome);
}

// The report line and the exit code come from the main thread.
function finish(report, code) {
  if (!isMainThread) {
    parentPort.postMessage({ report, code });
    return;
  }
  process.stdout.write(`${JSON.stringify(report)}\n`);
  process.exit(code);
}

async function main() {
  const rng = createRandom(seed);
  const window = live ? await openTestWindow() : null;
  const oracle = new CallOracle(window ? window.id : null);
  for (let i = 0; i < calls; i++) {
    const name = rng.pick(functionNames);
    const args = callArguments(rng, name, oracle, window);
    const receiver = rng.chance(0.1) ? values.anyValue(rng) : addon;
    if (trace) process.stderr.write(`#${i} ${name}(${args.map(label).join(', ')})\n`);
    const expected = oracle.expect(name, args);
    const actual = call(name, args, receiver);
    if (!matches(expected, actual)) {
      if (window) await window.kill();
      finish({
        seed, call: i, function: name, arguments: args.map(label),
        expected: describeOutcome(expected), actual: describeOutcome(actual),
      }, 1);
      return;
    }
    oracle.observe(name, args, actual);
  }
  // Every id the run may have started is stopped, and nothing stays behind.
  for (const id of oracle.runningIds()) addon.ndiOutputStop(id);
  if (window) await window.close();
  let liveInstances = null;
  try {
    liveInstances = require(paths.probe).library().liveInstances;
  } catch {
    // The probe is a test helper; a build without it still fuzzes.
  }
  finish({
    seed, calls, live, worker: inWorker, liveInstances,
    audioBlocksForRunning: oracle.audioBlocksForRunning,
  }, liveInstances ? 1 : 0);
}

if (isMainThread && inWorker) {
  const worker = new Worker(__filename, { argv: process.argv.slice(2) });
  worker.once('message', ({ report, code }) => finish(report, code));
  worker.once('error', (error) => finish({ seed, error: String(error && error.stack) }, 1));
  worker.once('exit', (code) => finish({ seed, error: `the worker ended (${code}) without a report` }, 1));
} else {
  main().catch((error) => finish({ seed, error: String(error && error.stack) }, 1));
}
