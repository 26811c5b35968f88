'use strict';
// The forwarder and the stand-in keep their frame memory between frames; a
// window that shrinks and grows again must still arrive exactly as a fresh
// buffer would carry it, for windows with and without an alpha channel.
const test = require('node:test');
const assert = require('node:assert/strict');
const { addon, probe, TestWindow, eventually, instanceNamed, firstFrame, stopAndCheck } =
  require('./output_helpers');

const translucent = [[0, 0, 0, 0], [255, 255, 255, 1], [128, 128, 128, 128],
  [127, 127, 127, 200], [128, 128, 128, 2]];

// The test window's picture at phase 0 as the source must carry it.
function expectedPicture(width, height, argb) {
  const out = Buffer.alloc(width * height * 4);
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const cell = (Math.floor(x / 4) + Math.floor(y / 4)) % (translucent.length + 1);
      const pixel = argb && cell < translucent.length ? translucent[cell]
        : [x & 255, (y * 3) & 255, ((x >> 8) * 16 + (y >> 8) * 4 + 1) & 255, 255];
      out.set(pixel, (y * width + x) * 4);
    }
  }
  return out;
}

for (const argb of [false, true]) {
  test(`a ${argb ? '32' : '24'}-bit window resized smaller then larger arrives whole`, async () => {
    const name = `reuse ${argb ? 'argb' : 'rgb'}`;
    const window = await TestWindow.open({ width: 96, height: 64, argb });
    try {
      addon.ndiOutputStart(window.handle(), name, name);
      await firstFrame(name);
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
