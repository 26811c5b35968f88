'use strict';
// What a started output puts on its source: the window's pixels in straight
// alpha, in packed rows, at each size the window takes (the frame memory is
// kept between frames, so sizes go smaller, then larger).
const test = require('node:test');
const { addon, probe, TestWindow, eventually, instanceNamed, firstFrame, stopAndCheck,
  expectedPicture } = require('./output_helpers');

for (const argb of [false, true]) {
  test(`a ${argb ? '32' : '24'}-bit window arrives whole, in straight alpha, at each size`, async (t) => {
    const name = `video ${argb ? 'argb' : 'rgb'}`;
    const window = await TestWindow.open({ width: 96, height: 64, argb });
    t.after(() => window.close());
    addon.ndiOutputStart(window.handle(), name, name);
    await firstFrame(name);
    // Odd widths too, where padded rows would shift every row after the first.
    for (const [width, height] of [[96, 64], [33, 17], [10, 300], [300, 10], [1920, 1080]]) {
      await window.command(`resize ${width} ${height}`);
      const expected = expectedPicture(width, height, argb);
      // Frames read while the resize settles may differ; the picture must
      // arrive exactly once it is drawn.
      await eventually(() => {
        const { id, lastVideo } = instanceNamed(name);
        return lastVideo.width === width && lastVideo.height === height &&
          lastVideo.lineStride === width * 4 && probe.lastVideoData(id).equals(expected);
      }, `${width} x ${height} arriving as drawn`);
    }
    stopAndCheck(name, name);
  });
}
