'use strict';
// Outputs over their lives: several at once, stops that find nothing, and
// frames too large to send. Windows that go away and a process exiting with
// outputs running are the fault suite's (faults.test.js).
const test = require('node:test');
const assert = require('node:assert/strict');
const { addon, probe, TestWindow, instanceNamed, framesAfter, firstFrame, stopAndCheck } =
  require('./output_helpers');

const stereoBlock = () => Buffer.alloc(480 * 2 * 4);

test('two outputs run at once; stopping one leaves the other sending and the stopped one quiet', async (t) => {
  const left = await TestWindow.open({ x: 0 });
  const right = await TestWindow.open({ x: 200 });
  t.after(() => Promise.all([left.close(), right.close()]));
  addon.ndiOutputStart(left.handle(), 'left', 'left source');
  addon.ndiOutputStart(right.handle(), 'right', 'right source');
  await firstFrame('left source');
  await firstFrame('right source');
  assert.notEqual(instanceNamed('left source').id, instanceNamed('right source').id);

  stopAndCheck('left', 'left source');
  const frames = instanceNamed('right source').videoFrames;
  await right.command('animate on');
  await framesAfter('right source', frames);
  addon.ndiOutputSendAudio('right', stereoBlock(), 48000, 2);
  addon.ndiOutputSendAudio('left', stereoBlock(), 48000, 2);
  assert.equal(addon.ndiOutputStop('left'), undefined);
  assert.equal(instanceNamed('right source').audioBlocks, 1);
  assert.equal(instanceNamed('left source').audioBlocks, 0);
  assert.equal(probe.library().misuse, 0, 'a stopped output reached the SDK');
  stopAndCheck('right', 'right source');
});

test('a 5120 x 5120 window is sent; one pixel wider ends the capture', async (t) => {
  const fits = await TestWindow.open({ width: 5120, height: 5120 });
  t.after(() => fits.close());
  addon.ndiOutputStart(fits.handle(), 'fits', 'fits');
  const record = await firstFrame('fits');
  assert.equal(record.lastVideo.width, 5120);
  assert.equal(probe.lastVideoData(record.id).length, 104857600);
  stopAndCheck('fits', 'fits');
  await fits.close();

  const wide = await TestWindow.open({ width: 5121, height: 5120 });
  t.after(() => wide.close());
  // Nothing outside shows when the capture thread has refused its first
  // frame, so give it more time on each round: a stop that comes first
  // halts the capture before any frame and succeeds.
  const refusal = 'Windows capture error: Frame handler error: Invalid frame data: Video frame ' +
    'exceeds maximum size: 104878080 bytes > 104857600 bytes';
  let refused = null;
  for (let round = 1; round <= 8 && refused === null; round++) {
    addon.ndiOutputStart(wide.handle(), 'wide', 'wide');
    await wide.command(`redraw ${round}`);
    await new Promise((resolve) => setTimeout(resolve, 100 * 2 ** round));
    try {
      assert.equal(addon.ndiOutputStop('wide'), undefined);
    } catch (error) {
      refused = error;
    }
  }
  assert.ok(refused, 'no stop reported the refused frame');
  assert.equal(refused.code, 'GenericFailure');
  assert.equal(refused.message, refusal);
  assert.equal(instanceNamed('wide').videoFrames, 0);
  assert.equal(instanceNamed('wide').destroyed, true);
  // The id is free again.
  assert.equal(addon.ndiOutputStop('wide'), undefined);
  const small = await TestWindow.open();
  addon.ndiOutputStart(small.handle(), 'wide', 'wide again');
  stopAndCheck('wide', 'wide again');
  await small.close();
});
