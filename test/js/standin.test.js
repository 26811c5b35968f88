'use strict';
// What the stand-in NDI runtime leaves for a person to look at: a PNG of the
// last frame and a JSON summary per source, under file names that stay in
// the folder whatever the source is called.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { PNG } = require('pngjs');
const { addon, probe, TestWindow, firstFrame, stopAndCheck } = require('./output_helpers');

test('writes a PNG and a JSON summary per source under safe file names', async (t) => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'standin-'));
  process.env.TARVIX_NDI_STANDIN_DIR = dir;
  const window = await TestWindow.open({ width: 24, height: 4, argb: true });
  t.after(() => {
    fs.rmSync(dir, { recursive: true, force: true });
    return window.close();
  });

  const name = '../cams/Desk: 1';
  addon.ndiOutputStart(window.handle(), 'dump', name);
  const { id } = await firstFrame(name);
  addon.ndiOutputSendAudio('dump', Buffer.alloc(480 * 4), 48000, 1);
  // A stopped source's frame is gone from the stand-in: keep it first.
  const bgra = probe.lastVideoData(id);
  stopAndCheck('dump', name);
  addon.ndiOutputStart(window.handle(), 'long', 'x'.repeat(500));
  await firstFrame('x'.repeat(500));
  stopAndCheck('long', 'x'.repeat(500));

  const files = fs.readdirSync(dir);
  assert.equal(files.length, 4, files.join(','));
  assert.ok(files.every((f) => f.length <= 90), files.join(','));
  const stem = path.join(dir, 'source.._cams_Desk__1');

  // BGRA as sent, RGBA in the picture; the window has translucent cells,
  // and opaque ones whose red and blue differ.
  const image = PNG.sync.read(fs.readFileSync(`${stem}.png`));
  assert.deepEqual([image.width, image.height], [24, 4]);
  const rgba = Buffer.from(bgra);
  for (let p = 0; p < rgba.length; p += 4) [rgba[p], rgba[p + 2]] = [bgra[p + 2], bgra[p]];
  assert.ok(rgba.some((byte, i) => i % 4 === 3 && byte !== 255), 'no translucent pixel sent');
  assert.ok(rgba.some((byte, i) => i % 4 === 0 && byte !== rgba[i + 2]), 'red and blue agree');
  assert.deepEqual(image.data, rgba);

  const summary = JSON.parse(fs.readFileSync(`${stem}.json`, 'utf8'));
  assert.deepEqual(summary, { ...summary, name, frames: probe.instance(id).videoFrames, width: 24,
    height: 4, fourcc: 'BGRA', frame_rate_n: 60, line_stride: 96, audio_blocks: 1,
    samples_per_channel: 480, sample_rate: 48000, channels: 1, destroyed: true });
});
