'use strict';
// One seeded run of random calls to the three script functions, in a process
// of its own so that the parent sees a crash, an abort or a hang with the seed
// that caused it. Each call must return undefined or throw one of the
// module's errors, or the exception a value's own code raised while the
// module described it; which error exactly is the argument table's
// (test/js/script_calls.test.js). Prints one JSON summary line and exits 0,
// or describes the first wrong outcome and exits 1.
//   node fuzz_child.js --seed N --calls N [--live] [--worker] [--trace]
//     --live    also start outputs on one real test window (needs DISPLAY)
//     --worker  make the calls from a worker thread with its own environment
//     --trace   print every call before making it (to find a crashing one)
const util = require('node:util');
const { Worker, isMainThread, parentPort } = require('node:worker_threads');
const paths = require('./build_paths');
const { createRandom } = require('./random');
const { openTestWindow } = require('./test_window');

const addon = require(paths.addon);
const argv = process.argv;
const option = (name, fallback) =>
  (argv.includes(name) ? Number(argv[argv.indexOf(name) + 1]) : fallback);
const seed = option('--seed', 1) >>> 0;
const calls = option('--calls', 1000);
const [live, worker, trace] = ['--live', '--worker', '--trace'].map((flag) => argv.includes(flag));

// The kind of value each argument mostly gets, so that many calls get as far
// as a running output.
const functions = {
  ndiOutputStart: ['view', 'id', 'string'],
  ndiOutputStop: ['id'],
  ndiOutputSendAudio: ['id', 'view', 'rate', 'number'],
};
const kinds = ['scalar', 'number', 'id', 'string', 'object', 'view'];
const codes = ['StringExpected', 'NumberExpected', 'InvalidArg', 'GenericFailure'];
// Few ids, so that starts, audio and stops meet.
const ids = ['live', '', 'a', '\0', 'x\0y', '😀', '\ud800', ' '];
const numbers = [0, -0, 1, -1, 1.5, 2, 8, 9, 7999, 8000, 48000, 192000, 192001, 2 ** 31,
  2 ** 32 - 1, 2 ** 32 + 8000, 2 ** 53, NaN, Infinity, -Infinity, Number.MIN_VALUE];
const strings = ['', ' ', '\t\u3000\u2028\xa0', '\ufeff', '\0', 'x\0y', '😀', '\ud800',
  'a\udc00', 'é\u0301', 'a'.repeat(1 << 16), '😀'.repeat(5000)];

class Planted extends Error {}
const plant = () => {
  throw new Planted('planted by the fuzzer');
};
const trap = { get: plant, has: plant, ownKeys: plant, getOwnPropertyDescriptor: plant };
function cyclic() {
  const object = { a: 1 };
  object.self = object;
  return object;
}
function revoked() {
  const { proxy, revoke } = Proxy.revocable({}, {});
  revoke();
  return proxy;
}
const objects = [() => ({}), () => [1, 'x'], cyclic, () => ({ toJSON: plant }),
  () => ({ toJSON: () => 'x'.repeat(1 << 20) }),
  () => Object.defineProperty({}, 'x', { get: plant, enumerable: true }),
  () => new Proxy({}, trap), revoked, () => new ArrayBuffer(8), () => ({ length: 8 }),
  () => Object.create(null), () => new Date(NaN), () => function named() {}, () => class {},
  () => new Proxy(function g() {}, trap)];

function randomString(rng) {
  let text = '';
  for (let n = rng.int(24); n > 0; n--) {
    text += String.fromCharCode(rng.int(rng.pick([0x80, 0x10000])));  // lone surrogates too
  }
  return text;
}

// Views of every kind; their bytes never hold a real X11 id (bits 29-31 set).
function view(rng, n) {
  const bytes = rng.bytes(n);
  if (n >= 4) bytes[3] |= 0xe0;
  switch (rng.int(6)) {
    case 0: return new Uint8Array(bytes);
    case 1: return new DataView(bytes.buffer, bytes.byteOffset, n);
    case 2: return new Float32Array(bytes.buffer, bytes.byteOffset, n >> 2);
    case 3: {
      const shared = new Uint8Array(new SharedArrayBuffer(n + 3), 3, n);
      shared.set(bytes);
      return shared;
    }
    case 4: {
      const detached = new Uint8Array(n);
      structuredClone(detached.buffer, { transfer: [detached.buffer] });
      return detached;
    }
    default: return bytes;
  }
}

// The ids of outputs that may run; no more than 8 are started at once.
const started = new Set();

function windowHandle(rng, window) {
  const handle = Buffer.alloc(rng.pick([8, 16]));
  handle.writeBigUInt64LE(window.id);
  return handle;
}

function value(rng, window, kind = rng.pick(kinds)) {
  switch (kind) {
    case 'scalar': return rng.pick([undefined, null, true, false, 1n, Symbol('s')]);
    case 'rate': if (rng.chance(0.5)) return rng.pick([8000, 44100, 48000, 192000]);
    // falls through
    case 'number':
      return rng.chance(0.7) ? rng.pick(numbers) : (rng.next() - 0.5) * 2 ** rng.int(70);
    case 'id': return started.size && rng.chance(0.5) ? rng.pick([...started]) : rng.pick(ids);
    case 'string': return rng.chance(0.5) ? rng.pick(strings) : randomString(rng);
    case 'object': return rng.pick(objects)();
    default:
      if (window && started.size < 8 && rng.chance(0.3)) return windowHandle(rng, window);
      return view(rng, rng.pick([0, 3, 4, 7, 8, 9, rng.int(64), rng.int(8192)]));
  }
}

// The module's own errors, and what a value's own code (a getter, a proxy,
// toJSON) or the host throws while the module describes the value.
function allowed(thrown) {
  if (thrown instanceof Planted) return true;
  if (thrown instanceof TypeError && thrown.code === undefined) return true;  // a cycle, a BigInt
  return thrown instanceof Error && thrown.constructor === Error && codes.includes(thrown.code);
}

const inspect = (a) => util.inspect(a, { depth: 0, maxStringLength: 40, maxArrayLength: 8 });

function finish(report, code) {
  if (!isMainThread) return parentPort.postMessage({ report, code });
  process.stdout.write(`${JSON.stringify(report)}\n`);
  return process.exit(code);
}

async function main() {
  const rng = createRandom(seed);
  const window = live ? await openTestWindow() : null;
  for (let i = 0; i < calls; i++) {
    const name = rng.pick(Object.keys(functions));
    const slots = functions[name];
    const count = rng.chance(0.1) ? rng.int(6) : slots.length;
    const args = Array.from({ length: count },
      (_, j) => value(rng, window, rng.chance(0.7) ? slots[j] : undefined));
    const label = () => `#${i} ${name}(${args.map(inspect).join(', ')})`;
    if (trace) process.stderr.write(`${label()}\n`);
    try {
      const returned = addon[name].apply(rng.chance(0.1) ? value(rng) : addon, args);
      if (returned !== undefined) {
        return finish({ seed, call: label(), returned: inspect(returned) }, 1);
      }
    } catch (thrown) {
      if (!allowed(thrown)) return finish({ seed, call: label(), threw: inspect(thrown) }, 1);
      continue;
    }
    if (name === 'ndiOutputStart') started.add(args[1]);
    if (name === 'ndiOutputStop') started.delete(args[0]);
  }
  for (const id of started) addon.ndiOutputStop(id);
  if (window) await window.close();
  const { liveInstances } = require(paths.probe).library();
  return finish({ seed, calls, live, worker, liveInstances }, liveInstances ? 1 : 0);
}

if (isMainThread && worker) {
  const thread = new Worker(__filename, { argv: argv.slice(2) });
  thread.once('message', ({ report, code }) => finish(report, code));
  thread.once('error', (error) => finish({ seed, error: String(error && error.stack) }, 1));
  thread.once('exit', (code) => finish({ seed, error: `worker exit ${code} without a report` }, 1));
} else {
  main().catch((error) => finish({ seed, error: String(error && error.stack) }, 1));
}
