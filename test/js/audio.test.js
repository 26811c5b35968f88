'use strict';
// ndiOutputSendAudio through a running output's source: how blocks are read
// and which are dropped quietly. Refused blocks and ids not running are
// checked call by call by the script-surface fuzzer, audio sent while video
// flows by the stress run (reliability.test.js).
const test = require('node:test');
const assert = require('node:assert/strict');
const { addon, probe, TestWindow, firstFrame, stopAndCheck } =
  require('./output_helpers');

const floats = (values) => Buffer.from(Float32Array.from(values).buffer);
const ramp = (count) => Array.from({ length: count }, (_, i) => i + 1);

let window;
let source;
const lastBlock = () => probe.audioBlocks(source.id).at(-1);
const blockCount = () => probe.instance(source.id).audioBlocks;

// Sends and returns the block the SDK received, or null when it was dropped.
function send(samples, rate, channels, id = 'aud') {
  const before = blockCount();
  assert.equal(addon.ndiOutputSendAudio(id, samples, rate, channels), undefined);
  return blockCount() === before ? null : lastBlock();
}

test.before(async () => {
  probe.reset();
  window = await TestWindow.open();
});
test.after(() => {
  stopAndCheck('aud', 'audio source');
  return window.close();
});

test('starts the output the other cases use', async () => {
  addon.ndiOutputStart(window.handle(), 'aud', 'audio source');
  source = await firstFrame('audio source');
});

test('channel counts are brought into 1 to 8', () => {
  for (const [channels, used] of [[0, 1], [9, 8], [4294967295, 8], [2, 2]]) {
    const block = send(floats(ramp(16)), 48000, channels);
    assert.equal(block.channels, used, `channels ${channels}`);
    assert.equal(block.samples, Math.floor(16 / used), `channels ${channels}`);
  }
});

test('incomplete sample frames are ignored and blocks without one are dropped', () => {
  const seven = Buffer.from([0, 0, 0x80, 0x3f, 1, 2, 3]);  // 1.0 then 3 stray bytes
  assert.equal(send(seven, 48000, 2), null);
  const mono = send(seven, 48000, 1);
  assert.equal(mono.samples, 1);
  assert.deepEqual([...probe.lastAudioSamples(source.id)], [1]);

  const block = send(floats(ramp(1026)), 48000, 4);
  assert.deepEqual([block.samples, block.channels, block.channelStride], [256, 4, 1024]);
  assert.deepEqual(block.firstSamples, [1, 257, 513, 769]);
  assert.deepEqual([...probe.lastAudioSamples(source.id)], ramp(1024));
});

test('only sample rates from 8000 to 192000 Hz are sent', () => {
  for (const rate of [7999, 192001, 0]) assert.equal(send(floats([1, 2]), rate, 2), null, rate);
  for (const rate of [8000, 192000]) assert.equal(send(floats([1, 2]), rate, 2).sampleRate, rate);
});

test('the script may reuse its buffer as soon as the call returns', () => {
  // Misaligned on purpose: the samples start one byte into the memory.
  const memory = Buffer.alloc(4 * 8 + 1);
  const samples = memory.subarray(1);
  floats(ramp(8)).copy(samples);
  send(samples, 48000, 2);
  samples.fill(0xff);
  assert.deepEqual([...probe.lastAudioSamples(source.id)], ramp(8));
});
