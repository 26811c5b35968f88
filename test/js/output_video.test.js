'use strict';
// What a started output puts on its source: the window's pixels in straight
// alpha, packed rows, and the video descriptor.
const test = require('node:test');
const assert = require('node:assert/strict');
const { addon, probe, TestWindow, firstFrame, stopAndCheck } = require('./output_helpers');

// The test window's picture (see its pattern header), as captured: B, G, R, A.
const translucent = [[7, 7, 7, 0], [2, 2, 2, 1], [64, 64, 64, 128], [100, 100, 100, 200],
  [1, 1, 1, 2]];
// The same pixels in straight alpha, as the source must carry them.
const straight = [[0, 0, 0, 0], [255, 255, 255, 1], [128, 128, 128, 128], [127, 127, 127, 200],
  [128, 128, 128, 2]];

function opaque(x, y) {
  return [x & 255, (y * 3) & 255, ((x >> 8) * 16 + (y >> 8) * 4 + 1) & 255, 255];
}

function expectedPicture(width, height, argb) {
  const out = Buffer.alloc(width * height * 4);
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const cell = (Math.floor(x / 4) + Math.floor(y / 4)) % (translucent.length + 1);
      const pixel = argb && cell < translucent.length ? straight[cell] : opaque(x, y);
      out.set(pixel, (y * width + x) * 4);
    }
  }
  return out;
}

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

test('translucent pixels arrive in straight alpha, rows packed', async () => {
  // An odd width, so padded rows would shift every row after the first.
  const { record, data } = await capture({ width: 37, height: 23, argb: true }, 'argb window');
  const expected = expectedPicture(37, 23, true);
  assert.equal(data.length, expected.length);
  for (let i = 0; i < expected.length; i += 4) {
    const pixel = i / 4;
    assert.deepEqual([...data.subarray(i, i + 4)], [...expected.subarray(i, i + 4)],
      `pixel (${pixel % 37}, ${Math.floor(pixel / 37)})`);
  }
  assert.equal(record.lastVideo.lineStride, 37 * 4);
});

test('every frame carries the descriptor, its aspect ratio the window shape', async () => {
  const shapes = [[640, 480, 4 / 3], [300, 200, 3 / 2], [1920, 1080, 16 / 9], [10, 300, 1 / 30],
    [300, 10, 30]];
  for (const [width, height, ratio] of shapes) {
    const name = `shape ${width}x${height}`;
    const { record, data } = await capture({ width, height }, name);
    assert.ok(data.equals(expectedPicture(width, height, false)), name);
    const video = record.lastVideo;
    assert.deepEqual(
      { ...video, pictureAspectRatio: aspectBits(video.pictureAspectRatio) },
      {
        width, height, fourcc: 'BGRA', frameRateN: 60, frameRateD: 1,
        pictureAspectRatio: aspectBits(ratio), frameFormatType: 1,
        timecode: 9223372036854775807n, lineStride: width * 4, hasMetadata: false, timestamp: 0n,
      }, name);
  }
});
