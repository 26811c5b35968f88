'use strict';
// What a started output puts on its source: the window's pixels in straight
// alpha, in packed rows, at its shape, after resizes too (the frame memory is
// kept between frames).
const test = require('node:test');
const assert = require('node:assert/strict');
const { addon, probe, TestWindow, eventually, instanceNamed, firstFrame, stopAndCheck,
  expectedPicture } = require('./output_helpers');

async function capture(options, name) {
  const window = await TestWindow.open(options);
  try {
    addon.ndiOutputStart(window.handle(), name, name);
    const record = await firstFrame(name);
    // Read while the source lives: the stand-in keeps media only for live ones.
    const data = probe.lastVideoData(record.id);
    stopAndCheck(name, name);
    return { record, data };
  } finally {
    await window.close();
  }
}

test('windows of every shape arrive whole, at their size', async () => {
  for (const [width, height] of [[640, 480], [1920, 1080], [10, 300], [300, 10]]) {
    const name = `shape ${width}x${height}`;
    const { record, data } = await capture({ width, height }, name);
    assert.ok(data.equals(expectedPicture(width, height, false)), name);
    // The other descriptor fields are the forwarder's, checked in its unit test.
    const video = record.lastVideo;
    assert.deepEqual([video.width, video.height, video.lineStride], [width, height, width * 4], name);
  }
});

for (const argb of [false, true]) {
  test(`a ${argb ? '32' : '24'}-bit window arrives whole, in straight alpha, resized smaller then larger`, async () => {
    const name = `reuse ${argb ? 'argb' : 'rgb'}`;
    const window = await TestWindow.open({ width: 96, height: 64, argb });
    try {
      addon.ndiOutputStart(window.handle(), name, name);
      await firstFrame(name);
      // An odd width too, so padded rows would shift every row after the first.
      for (const [width, height] of [[96, 64], [33, 17], [130, 70]]) {
        await window.command(`resize ${width} ${height}`);
        const expected = expectedPicture(width, height, argb);
        // Frames read while the resize settles may differ; the picture must
        // arrive exactly once it is drawn.
        await eventually(() => {
          const record = instanceNamed(name);
          return record.lastVideo.width === width && record.lastVideo.height === height &&
            probe.lastVideoData(record.id).equals(expected);
        }, `${width} x ${height} arriving as drawn`);
      }
      stopAndCheck(name, name);
    } finally {
      await window.close();
    }
  });
}
