'use strict';

// What the module puts on its exports object, and what its functions return.
const test = require('node:test');
const assert = require('node:assert');

const addon = require('../..');

test('the exports object holds exactly the three functions, in registration order', () => {
  assert.deepStrictEqual(Object.keys(addon), [
    'ndiOutputStop',
    'ndiOutputStart',
    'ndiOutputSendAudio',
  ]);
  for (const [key, value] of Object.entries(addon)) {
    assert.strictEqual(typeof value, 'function', key);
    assert.strictEqual(value.name, key);
  }
});

test('calls with nothing to do return undefined, extra arguments ignored', () => {
  assert.strictEqual(addon.ndiOutputStop('exports: never started'), undefined);
  assert.strictEqual(addon.ndiOutputStop('exports: never started', 42, {}), undefined);
  const samples = Buffer.alloc(16);
  assert.strictEqual(
    addon.ndiOutputSendAudio('exports: never started', samples, 48000, 2),
    undefined,
  );
  assert.strictEqual(
    addon.ndiOutputSendAudio('exports: never started', samples, 48000, 2, 'extra'),
    undefined,
  );
});

test('an empty Buffer decodes', () => {
  assert.strictEqual(
    addon.ndiOutputSendAudio('exports: never started', Buffer.alloc(0), 48000, 1),
    undefined,
  );
});
