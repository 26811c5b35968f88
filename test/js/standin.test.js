'use strict';
// The stand-in NDI runtime, seen from JS through the probe addon: what the
// module's JS tests rely on when they read back what a source carried.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { PNG } = require('pngjs');

const root = path.resolve(__dirname, '..', '..');
// TARVIX_BUILD_DIR lets a developer run this against a build folder of their own.
const buildDir = path.resolve(root, process.env.TARVIX_BUILD_DIR || 'build');
const probe = require(path.join(buildDir, 'test', 'helpers', 'probe', 'tarvix_ndi_probe.node'));
const { sdk } = probe;

function withInstance(name, body) {
  probe.reset();
  assert.equal(sdk.initialize(), true);
  const handle = sdk.sendCreate(name, null, true, false);
  assert.notEqual(handle, null);
  try {
    return body(handle, sdk.instanceId(handle));
  } finally {
    sdk.sendDestroy(handle);
    sdk.destroy();
  }
}

test('records a source, its calls and its teardown in order', () => {
  probe.reset();
  assert.equal(sdk.initialize(), true);
  const handle = sdk.sendCreate(' Studio A ', 'public', false, true);
  const id = sdk.instanceId(handle);
  sdk.flush(handle);
  sdk.sendDestroy(handle);
  sdk.destroy();

  const { name, groups, clockVideo, clockAudio, destroyed, flushedBeforeDestroy } =
    probe.instance(id);
  assert.deepEqual({ name, groups, clockVideo, clockAudio, destroyed, flushedBeforeDestroy },
    { name: ' Studio A ', groups: 'public', clockVideo: false, clockAudio: true, destroyed: true,
      flushedBeforeDestroy: true });
  assert.deepEqual(probe.calls().map((c) => c.call),
    ['initialize', 'sendCreate', 'flush', 'sendDestroy', 'destroy']);
  assert.equal(probe.library().initialized, false);
  assert.equal(probe.library().misuse, 0);
});

test('writes a PNG and a JSON summary per source under safe file names', (t) => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'standin-'));
  process.env.TARVIX_NDI_STANDIN_DIR = dir;
  t.after(() => {
    delete process.env.TARVIX_NDI_STANDIN_DIR;
    fs.rmSync(dir, { recursive: true, force: true });
  });

  const width = 3;
  const height = 2;
  const bgra = Buffer.alloc(width * height * 4);
  for (let p = 0; p < width * height; p += 1) bgra.set([p * 10, 100 + p, 200 - p, 255 - p * 40], p * 4);
  withInstance('../cams/Desk: 1', (handle) => {
    sdk.sendVideo(handle, width, height, bgra);
    sdk.sendAudio(handle, 48000, 1, new Float32Array(480));
  });
  withInstance('x'.repeat(500), () => {});

  const files = fs.readdirSync(dir).sort();
  assert.ok(files.every((f) => !f.includes('/') && f.length <= 90), files.join(','));
  const stem = files.find((f) => f.endsWith('.png')).slice(0, -4);
  assert.equal(stem, 'source.._cams_Desk__1');

  const image = PNG.sync.read(fs.readFileSync(path.join(dir, `${stem}.png`)));
  assert.equal(image.width, width);
  assert.equal(image.height, height);
  for (let p = 0; p < width * height; p += 1) {
    const [b, g, r, a] = bgra.subarray(p * 4, p * 4 + 4);
    assert.deepEqual(Array.from(image.data.subarray(p * 4, p * 4 + 4)), [r, g, b, a], `pixel ${p}`);
  }

  const summary = JSON.parse(fs.readFileSync(path.join(dir, `${stem}.json`), 'utf8'));
  const expected = {
    name: '../cams/Desk: 1', frames: 1, width, height, fourcc: 'BGRA', frame_rate_n: 60,
    line_stride: width * 4, audio_blocks: 1, samples_per_channel: 480, sample_rate: 48000,
    channels: 1, destroyed: true,
  };
  for (const [key, value] of Object.entries(expected)) assert.equal(summary[key], value, key);
});
