'use strict';
// What a started output puts on its source: the window's pixels in straight
// alpha, in packed rows, at its shape, after resizes too (the frame memory is
// kept between frames).
const test = require('node:test');
const assert = require('node:assert/strict');
const { addon, probe, TestWindow, eventually, instanceNamed, firstFrame, stopAndCheck,
  expectedPicture } = require('./output_helpers');

const aspectBits = (value) => new Uint32Array(Float32Array.of(value).buffer)[0];

async function capture(options, name) {
  const window = await TestWindow.open(options);
  try {
    addon.ndiOutputStart(window.handle(), name, name);
    const record = await firstFrame(name);
    stopAndCheck(name, name);
    return { record, data: probe.lastVideoData(record.id) };
  } finally {
    await window.close();
  }
}

test('every frame carries the window shape and its aspect ratio', async () => {
  const shapes = [[640, 480, 4 / 3], [1920, 1080, 16 / 9], [10, 300, 1 / 30], [300, 10, 30]];
  for (const [width, height, ratio] of shapes) {
    const name = `shape ${width}x${height}`;
    const { record, data } = await capture({ width, height }, name);
    assert.ok(data.equals(expectedPicture(width, height, false)), name);
    // The other fields are the forwarder's, checked in its unit test.
    const video = record.lastVideo;
    assert.deepEqual([video.width, video.height, video.lineStride, aspectBits(video.pictureAspectRatio)],
      [width, height, width * 4, aspectBits(ratio)], name);
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
