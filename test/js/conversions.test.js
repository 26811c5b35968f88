'use strict';

// How each function decodes its arguments, and the errors a script sees when
// an argument does not convert.
const test = require('node:test');
const assert = require('node:assert');
const { spawnSync } = require('node:child_process');
const path = require('node:path');

const addon = require('../..');

const packageRoot = path.join(__dirname, '..', '..');
const handle = Buffer.alloc(8);
const samples = Buffer.alloc(16);

// Values that are not strings, and how the message describes each.
const notStrings = [
  ['a number', 42, 'Number 42 '],
  ['a boolean', true, 'Boolean true '],
  ['a plain object', { a: 1 }, 'Object {"a":1}'],
  ['an array', [1, 'x'], 'Object [1,"x"]'],
  ['a named function', function f() {}, 'function f(..) '],
  ['an anonymous function', [() => {}][0], 'function anonymous(..) '],
  ['undefined', undefined, 'Undefined'],
  ['null', null, 'Null'],
  ['a BigInt', 1n, 'Unknown'],
  ['a Symbol', Symbol('s'), 'Symbol'],
];

// Every string argument of every function, with valid values elsewhere.
const stringSlots = [
  ['ndiOutputStop', 1, (v) => addon.ndiOutputStop(v)],
  ['ndiOutputStart', 2, (v) => addon.ndiOutputStart(handle, v, 'name')],
  ['ndiOutputStart', 3, (v) => addon.ndiOutputStart(handle, 'id', v)],
  ['ndiOutputSendAudio', 1, (v) => addon.ndiOutputSendAudio(v, samples, 48000, 2)],
];

function stringError(description) {
  return {
    name: 'Error',
    code: 'StringExpected',
    message: `Failed to convert JavaScript value \`${description}\` to native type \`String\``,
  };
}

function u32Error(typeName) {
  return {
    name: 'Error',
    code: 'NumberExpected',
    message: `Failed to convert napi value ${typeName} to native type \`u32\``,
  };
}

const noReference = { code: 'InvalidArg', message: 'Failed to create reference from Buffer' };
const noBytes = { code: 'InvalidArg', message: 'Failed to get Buffer pointer and length' };

test('a string argument that is not a string throws StringExpected describing the value', () => {
  for (const [fn, position, call] of stringSlots) {
    for (const [label, value, description] of notStrings) {
      assert.throws(() => call(value), stringError(description), `${fn} #${position}: ${label}`);
    }
  }
});

test('missing arguments arrive as undefined', () => {
  assert.throws(() => addon.ndiOutputStop(), stringError('Undefined'));
  assert.throws(() => addon.ndiOutputStart(handle, 'id'), stringError('Undefined'));
  assert.throws(() => addon.ndiOutputStart(handle), stringError('Undefined'));
  assert.throws(() => addon.ndiOutputSendAudio(), stringError('Undefined'));
  assert.throws(() => addon.ndiOutputSendAudio('id', samples, 48000), u32Error('Undefined'));
  assert.throws(() => addon.ndiOutputSendAudio('id', samples), u32Error('Undefined'));
  assert.throws(() => addon.ndiOutputStart(), noReference);
  assert.throws(() => addon.ndiOutputSendAudio('id'), noReference);
});

test('a Buffer argument that is not a Buffer throws with the failing call', () => {
  const calls = [
    (v) => addon.ndiOutputStart(v, 'id', 'name'),
    (v) => addon.ndiOutputSendAudio('id', v, 48000, 2),
  ];
  for (const call of calls) {
    // Primitives cannot even be referenced; objects can, but hold no bytes.
    for (const value of ['bytes', 42, true]) assert.throws(() => call(value), noReference);
    for (const value of [{}, [1, 2], new ArrayBuffer(8), () => {}]) {
      assert.throws(() => call(value), noBytes);
    }
  }
});

test('a number argument that is not a number throws NumberExpected naming its type', () => {
  const cases = [['x', 'String'], [undefined, 'Undefined'], [null, 'Null'], [true, 'Boolean'],
    [{}, 'Object'], [() => {}, 'Function'], [1n, 'Unknown'], [Symbol('s'), 'Symbol']];
  for (const [value, typeName] of cases) {
    assert.throws(() => addon.ndiOutputSendAudio('id', samples, value, 2), u32Error(typeName));
    assert.throws(() => addon.ndiOutputSendAudio('id', samples, 48000, value), u32Error(typeName));
  }
});

test('arguments are decoded in order and decoding stops at the first failure', () => {
  let described = false;
  const watched = {
    toJSON() {
      described = true;
      return 'watched';
    },
  };
  assert.throws(() => addon.ndiOutputStart('not a buffer', watched, watched), noReference);
  assert.throws(() => addon.ndiOutputStart(handle, 42, watched), stringError('Number 42 '));
  assert.throws(() => addon.ndiOutputSendAudio(42, watched, 'x', 'y'), stringError('Number 42 '));
  assert.throws(() => addon.ndiOutputSendAudio('id', samples, 'x', watched), u32Error('String'));
  assert.strictEqual(described, false);
});

test('an exception raised while describing a value is the one the script receives', () => {
  const boom = new RangeError('boom');
  const throwing = {
    toJSON() {
      throw boom;
    },
  };
  for (const [fn, position, call] of stringSlots) {
    assert.throws(() => call(throwing), (error) => error === boom, `${fn} #${position}`);
  }
  const circular = {};
  circular.self = circular;
  assert.throws(() => addon.ndiOutputStop(circular), TypeError);
  assert.throws(() => addon.ndiOutputStop({ big: 1n }), TypeError);
});

test('values that JSON cannot represent are still described', () => {
  assert.throws(() => addon.ndiOutputStop({ toJSON() {} }), stringError('Object undefined'));
  class Named {
    static name() {}
  }
  assert.throws(() => addon.ndiOutputStop(Named), stringError('function anonymous(..) '));
  assert.throws(() => addon.ndiOutputStop(new Map([[1, 2]])), stringError('Object {}'));
});

// Run in a child with the collector exposed: each object passed where a
// Buffer is expected must be collectable once the call has returned, whether
// the call failed on it, failed after it or succeeded.
test('no reference to a Buffer argument outlives the call', () => {
  const script = `
    const addon = require(${JSON.stringify(packageRoot)});
    const collected = new Set();
    const registry = new FinalizationRegistry((label) => collected.add(label));
    const labels = ['plain object', 'buffer, later argument fails', 'buffer, call succeeds',
                    'window handle, later argument fails'];
    (function pass() {
      const plain = { length: 8 };
      registry.register(plain, labels[0]);
      try { addon.ndiOutputSendAudio('id', plain, 48000, 2); } catch (e) {
        if (e.message !== 'Failed to get Buffer pointer and length') throw e;
      }
      const failing = Buffer.alloc(64);
      registry.register(failing, labels[1]);
      try { addon.ndiOutputSendAudio('id', failing, 'rate', 2); } catch (e) {
        if (e.code !== 'NumberExpected') throw e;
      }
      const sent = Buffer.alloc(64);
      registry.register(sent, labels[2]);
      addon.ndiOutputSendAudio('never started', sent, 48000, 2);
      const window = Buffer.alloc(8);
      registry.register(window, labels[3]);
      try { addon.ndiOutputStart(window, 'id', 42); } catch (e) {
        if (e.code !== 'StringExpected') throw e;
      }
    })();
    (async () => {
      for (let i = 0; i < 50 && collected.size < labels.length; i++) {
        global.gc();
        await new Promise((resolve) => setImmediate(resolve));
      }
      process.stdout.write(JSON.stringify(labels.filter((l) => !collected.has(l))));
    })();
  `;
  const child = spawnSync(process.execPath, ['--expose-gc', '-e', script], {
    encoding: 'utf8',
    timeout: 120000,
  });
  assert.strictEqual(child.status, 0, child.stderr);
  assert.deepStrictEqual(JSON.parse(child.stdout), [], 'still referenced');
});
