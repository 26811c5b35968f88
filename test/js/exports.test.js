'use strict';

// What the module puts on its exports object, and what its functions return.
const test = require('node:test');
const assert = require('node:assert');

const addon = require('../..');

test('exports are exactly the three functions, and idle calls return undefined', () => {
  const names = ['ndiOutputStop', 'ndiOutputStart', 'ndiOutputSendAudio'];
  assert.deepStrictEqual(Object.keys(addon), names);
  assert.deepStrictEqual(names.map((key) => [typeof addon[key], addon[key].name]),
    names.map((key) => ['function', key]));
  // Extra arguments are ignored; an empty Buffer decodes.
  const samples = Buffer.alloc(16);
  assert.strictEqual(addon.ndiOutputStop('never started', 42, {}), undefined);
  assert.strictEqual(addon.ndiOutputSendAudio('never started', samples, 48000, 2, 'x'), undefined);
  assert.strictEqual(addon.ndiOutputSendAudio('never started', Buffer.alloc(0), 48000, 1),
    undefined);
});
