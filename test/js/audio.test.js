'use strict';
// ndiOutputSendAudio through running outputs: how blocks are read, which are
// dropped quietly, and that each reaches its own output only. Refused blocks
// and ids not running are checked call by call by the script-surface fuzzer
// (reliability.test.js).
const test = require('node:test');
const assert = require('node:assert/strict');
const { addon, probe, TestWindow, firstFrame, framesAfter, instanceNamed, stopAndCheck } =
  require('./output_helpers');

const floats = (values) => Buffer.from(Float32Array.from(values).buffer);
const ramp = (count) => Array.from({ length: count }, (_, i) => i + 1);

let window;
let source;
const blockCount = () => probe.instance(source.id).audioBlocks;

// Sends and returns the block the SDK received, or null when it was dropped.
function send(samples, rate, channels) {
  const before = blockCount();
  assert.equal(addon.ndiOutputSendAudio('aud', samples, rate, channels), undefined);
  return blockCount() === before ? null : probe.audioBlocks(source.id).at(-1);
}

test.before(async () => {
  window = await TestWindow.open();
  addon.ndiOutputStart(window.handle(), 'aud', 'audio source');
  source = await firstFrame('audio source');
});
test.after(() => {
  stopAndCheck('aud', 'audio source');
  return window.close();
});

test('channel counts are brought into 1 to 8, and only rates from 8000 to 192000 Hz are sent', () => {
  for (const [channels, used] of [[0, 1], [9, 8], [4294967295, 8], [2, 2]]) {
    const block = send(floats(ramp(16)), 48000, channels);
    assert.deepEqual([block.channels, block.samples], [used, Math.floor(16 / used)], `channels ${channels}`);
  }
  for (const rate of [7999, 192001, 0]) assert.equal(send(floats([1, 2]), rate, 2), null, rate);
  for (const rate of [8000, 192000]) assert.equal(send(floats([1, 2]), rate, 2).sampleRate, rate);
});

test('incomplete frames are ignored, blocks without one dropped; the buffer is free after the call', () => {
  const seven = Buffer.from([0, 0, 0x80, 0x3f, 1, 2, 3]);  // 1.0 then 3 stray bytes
  assert.equal(send(seven, 48000, 2), null);
  assert.equal(send(seven, 48000, 1).samples, 1);
  assert.deepEqual([...probe.lastAudioSamples(source.id)], [1]);

  // Misaligned on purpose: the samples start one byte into the memory.
  const samples = Buffer.alloc(4 * 1026 + 1).subarray(1);
  floats(ramp(1026)).copy(samples);
  const block = send(samples, 48000, 4);
  samples.fill(0xff);
  assert.deepEqual([block.samples, block.channels, block.channelStride], [256, 4, 1024]);
  assert.deepEqual(block.firstSamples, [1, 257, 513, 769]);
  assert.deepEqual([...probe.lastAudioSamples(source.id)], ramp(1024));
});

test('a second output gets its own audio; stopping it leaves this one running', async (t) => {
  const other = await TestWindow.open({ x: 200 });
  t.after(() => other.close());
  addon.ndiOutputStart(other.handle(), 'other', 'other source');
  await firstFrame('other source');
  const [blocks, frames] = [blockCount(), probe.instance(source.id).videoFrames];
  addon.ndiOutputSendAudio('other', floats(ramp(8)), 48000, 2);
  stopAndCheck('other', 'other source');
  addon.ndiOutputSendAudio('other', floats(ramp(8)), 48000, 2);
  assert.deepEqual([instanceNamed('other source').audioBlocks, blockCount()], [1, blocks]);
  await window.command('redraw 3');
  await framesAfter('audio source', frames);
  assert.equal(probe.library().misuse, 0, 'a stopped output reached the SDK');
});
