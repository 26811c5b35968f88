'use strict';
// What each call of the three script functions returns or throws, argument by
// argument, against a real X11 window and the stand-in runtime; and that no
// argument stays referenced after its call. Random values that must neither
// crash nor hang the process are the fuzzer's (reliability.test.js).
const test = require('node:test');
const assert = require('node:assert/strict');
const util = require('node:util');
const v8 = require('node:v8');
const vm = require('node:vm');
const { addon, probe, TestWindow, framesAfter, firstFrame, stopAndCheck } =
  require('./output_helpers');

v8.setFlagsFromString('--expose-gc');
const gc = vm.runInNewContext('gc');

const start = 'ndiOutputStart';
const audio = 'ndiOutputSendAudio';
const stop = 'ndiOutputStop';
const ok = undefined;
const error = (code, message, name = 'Error') => ({ name, code, message });
const failure = (message) => error('GenericFailure', message);
const ndiFailure = (debug) => failure(`NDI initialization failed: ${debug}`);
const notString = (value) => error('StringExpected',
  `Failed to convert JavaScript value \`${value}\` to native type \`String\``);
const notNumber = (type) =>
  error('NumberExpected', `Failed to convert napi value ${type} to native type \`u32\``);
const noReference = error('InvalidArg', 'Failed to create reference from Buffer');
const noView = error('InvalidArg', 'Failed to get Buffer pointer and length');
const tooShort = (n) =>
  failure(`Window handle buffer too short: expected at least 4 bytes, got ${n}`);
const noCapture = failure('Failed to convert item to `GraphicsCaptureItem`');
const blankName = ndiFailure(
  'InvalidConfiguration("Sender name cannot be empty or contain only whitespace")');
const tooBig = (samples) => ndiFailure('InvalidFrame("Audio frame exceeds maximum size: ' +
  `${samples * 4} bytes > 67108864 bytes")`);
// Thrown by a value's own code while the module describes it; passed on as is.
const planted = { planted: true };
const plant = () => {
  throw planted;
};

const liveName = ' Kamera Süd – 1 ';
let window;
test.before(async () => {
  // Only here, before any start: afterwards the library stays initialised and
  // a reset would make the stand-in forget that.
  probe.reset();
  window = await TestWindow.open();
});
test.after(() => window.close());

// `length` bytes: the window id, little-endian, in the first `used`, then 0xff.
function windowBytes(length, used = Math.min(length, 8)) {
  const bytes = Buffer.alloc(Math.max(length, 8));
  bytes.writeBigUInt64LE(window.id);
  return bytes.fill(0xff, used).subarray(0, length);
}

// Every rule, with 'live' running. Handles of 0xff bytes name no X window.
function rows() {
  const noWindow = Buffer.alloc(8, 0xff);
  const M = 16 * 1024 * 1024;  // samples in the largest frame
  const over = Buffer.alloc((M + 1) * 4);
  const huge = Buffer.alloc((M + 16) * 4);
  const samples = new Float32Array(2);
  const odd = new Uint8Array(11).fill(0xff);
  odd.set(windowBytes(8), 3);
  return [
    // A value that is not a string is described in the message.
    [stop, [], notString('Undefined')],
    [stop, [null], notString('Null')],
    [stop, [true], notString('Boolean true ')],
    [stop, [-1.5], notString('Number -1.5 ')],
    [stop, [Symbol('s')], notString('Symbol')],
    [stop, [10n], notString('Unknown')],
    [stop, [{ a: [1, 'é'] }], notString('Object {"a":[1,"é"]}')],
    [stop, [{ toJSON: () => undefined }], notString('Object undefined')],
    [stop, [function named() {}], notString('function named(..) ')],
    [stop, [[() => {}][0]], notString('function anonymous(..) ')],
    [stop, [class { static name() {} }], notString('function anonymous(..) ')],
    [stop, [{ toJSON: plant }], planted],
    [stop, [new Proxy(function f() {}, { get: plant })], planted],
    [stop, [{ n: 1n }], error(undefined, 'Do not know how to serialize a BigInt', 'TypeError')],
    [stop, ['never started', Symbol('extra'), {}], ok],
    // Decoded in order; the first failure wins, and a running id is only
    // looked up once all three have decoded.
    [start, [], noReference],
    [start, [new ArrayBuffer(8), 'id', 'name'], noView],
    [start, [noWindow, 5, null], notString('Number 5 ')],
    [start, [Buffer.alloc(3), 'id', null], notString('Null')],
    [start, [Buffer.alloc(3), 'live', 5], notString('Number 5 ')],
    [start, [Buffer.alloc(3), 'live', ''], ok],
    [start, [Buffer.alloc(3), 'live\0x', 'name'], tooShort(3)],
    // The handle, then the name, then the window.
    [start, [new Uint8Array(0), 'id', 'name'], tooShort(0)],
    [start, [windowBytes(3), 'id', ''], tooShort(3)],
    [start, [noWindow, 'id', ''], blankName],
    [start, [noWindow, 'id', '\t\n\v\f\r \x85\xa0\u1680\u2000\u200a\u2028\u2029\u202f\u205f\u3000'],
      blankName],
    ...['\b', '\x0e', '\u1fff', '\u200b', '\ufeff'].map((c) =>
      [start, [noWindow, 'id', ` ${c}\u3000`], noCapture]),
    [start, [noWindow, 'id', 'é\0'], ndiFailure('InvalidCString(NulError(2, [195, 169, 0]))')],
    [start, [windowBytes(8, 5), 'id', 'name'], noCapture],
    // 4 to 7 bytes hold the id in their first 4, longer handles in their first 8.
    [start, [windowBytes(4), 'h4', 'h4'], ok],
    [start, [windowBytes(7, 4), 'h7', 'h7'], ok],
    [start, [windowBytes(16), 'h16', 'h16'], ok],
    [start, [new DataView(odd.buffer, 3, 8), 'view', 'view'], ok],
    ...['h4', 'h7', 'h16', 'view', 'view'].map((id) => [stop, [id], ok]),
    // Audio: decoded in order, then dropped (ids not running, rates outside
    // 8000 to 192000 Hz, fewer floats than channels) or sent with channels
    // brought into 1 to 8 and trailing floats left out, up to M samples.
    [audio, [], notString('Undefined')],
    [audio, ['live', 'samples'], noReference],
    [audio, ['live', Symbol('s'), 48000, 2], noView],
    [audio, ['live', samples, '48000'], notNumber('String')],
    [audio, ['live', samples, 48000], notNumber('Undefined')],
    [audio, ['live', samples, 48000, 2n], notNumber('Unknown')],
    [audio, ['live', new Uint8Array(new SharedArrayBuffer(12), 4), 48000, 2], ok],
    [audio, ['live', Buffer.alloc(7), 48000, 2], ok],
    [audio, ['never started', over, 48000, 1], ok],
    [audio, ['live', over, 7999, 1], ok],
    [audio, ['live', over, 8000, 1], tooBig(M + 1)],
    [audio, ['live', over, 192000, 0], tooBig(M + 1)],
    [audio, ['live', over, 192001, 1], ok],
    [audio, ['live', over, 2 ** 32 + 48000, 1], tooBig(M + 1)],
    [audio, ['live', over, 48000, 2], ok],
    [audio, ['live', huge, 48000, 9], tooBig(M + 16)],
  ];
}

function outcome(name, args) {
  try {
    return addon[name](...args);
  } catch (thrown) {
    return thrown instanceof Error ? error(thrown.code, thrown.message, thrown.name) : thrown;
  }
}

// First in the file, while no start has kept the library initialised.
test('a failing NDI runtime fails the start and leaves no reference behind', () => {
  probe.failNextInitialize(1);
  assert.throws(() => addon.ndiOutputStart(window.handle(), 'live', liveName),
    ndiFailure('InitializationFailed("NDIlib_initialize failed")'));
  assert.equal(probe.library().initialized, false);

  probe.failNextSendCreate(1);
  assert.throws(() => addon.ndiOutputStart(window.handle(), 'live', liveName),
    ndiFailure('InitializationFailed("Failed to create NDI send instance")'));
  const library = probe.library();
  assert.equal(library.initialized, false, 'the start kept its runtime reference');
  assert.equal(library.initializeCalls, library.destroyCalls + 1);
  assert.equal(library.liveInstances, 0);
});

test('a start reaches the SDK as given; a second one for its id changes nothing', async () => {
  assert.equal(addon.ndiOutputStart(window.handle(), 'live', liveName), undefined);
  const record = await firstFrame(liveName);
  assert.deepEqual([record.name, record.groups, record.clockVideo, record.clockAudio],
    [liveName, null, true, false]);
  const { instancesCreated } = probe.library();
  assert.equal(addon.ndiOutputStart(window.handle(), 'live', 'second'), undefined);
  assert.equal(probe.library().instancesCreated, instancesCreated);
  await window.command('redraw 3');
  await framesAfter(liveName, record.videoFrames);
});

// The arguments of the table's calls that are not yet collected.
const alive = new Set();
const registry = new FinalizationRegistry((label) => alive.delete(label));

test('every call returns undefined or throws what its arguments call for', () => {
  for (const [i, [name, args, expected]] of rows().entries()) {
    const call = `#${i} ${name}${util.inspect(args, { maxStringLength: 40, maxArrayLength: 4 })}`;
    assert.deepEqual(outcome(name, args), expected, call);
    for (const [j, arg] of args.entries()) {
      if (typeof arg !== 'function' && (typeof arg !== 'object' || arg === null)) continue;
      registry.register(arg, `${call}, argument ${j}`);
      alive.add(`${call}, argument ${j}`);
    }
  }
});

test('no argument stays referenced once its call returned; stopped outputs leave no sender',
  async () => {
  for (let i = 0; i < 50 && alive.size > 0; i++) {
    gc();
    await new Promise((resolve) => setImmediate(resolve));
  }
  assert.deepEqual([...alive], [], 'still referenced');
  stopAndCheck('live', liveName);
  const library = probe.library();
  assert.deepEqual([library.liveInstances, library.initialized], [0, true]);
});
