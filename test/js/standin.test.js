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
const buildDir = process.env.TARVIX_BUILD_DIR || path.join(root, 'build');
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

  const record = probe.instance(id);
  assert.equal(record.name, ' Studio A ');
  assert.equal(record.groups, 'public');
  assert.equal(record.clockVideo, false);
  assert.equal(record.clockAudio, true);
  assert.equal(record.destroyed, true);
  assert.equal(record.flushedBeforeDestroy, true);
  assert.deepEqual(probe.calls().map((c) => c.call),
    ['initialize', 'sendCreate', 'flush', 'sendDestroy', 'destroy']);
  const library = probe.library();
  assert.equal(library.initialized, false);
  assert.equal(library.misuse, 0);
});

test('keeps copies, so the script may overwrite its buffers after a send', () => {
  withInstance('Copies', (handle, id) => {
    const pixels = Buffer.alloc(2 * 2 * 4);
    pixels.forEach((_, i) => { pixels[i] = i; });
    sdk.sendVideo(handle, 2, 2, pixels);
    const expected = Buffer.from(pixels);
    pixels.fill(0xff);
    assert.deepEqual(probe.lastVideoData(id), expected);

    const samples = new Float32Array([0.5, 0.25, -1, -0.5]);  // two planes of two
    sdk.sendAudio(handle, 48000, 2, samples);
    samples.fill(9);
    assert.deepEqual(Array.from(probe.lastAudioSamples(id)), [0.5, 0.25, -1, -0.5]);
    const [block] = probe.audioBlocks(id);
    assert.deepEqual(block.firstSamples, [0.5, -1]);
    assert.equal(block.fourcc, 'FLTp');
    assert.equal(block.channelStride, 8);
  });
});

test('injected failures make initialise and create fail the given number of times', () => {
  probe.reset();
  probe.failNextInitialize(1);
  assert.equal(sdk.initialize(), false);
  assert.equal(sdk.initialize(), true);
  probe.failNextSendCreate(1);
  assert.equal(sdk.sendCreate('x'), null);
  const handle = sdk.sendCreate('x');
  assert.notEqual(handle, null);
  sdk.sendDestroy(handle);
  sdk.destroy();
  assert.equal(probe.library().initializeCalls, 2);
  assert.equal(probe.library().instancesCreated, 1);
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
  assert.equal(summary.name, '../cams/Desk: 1');
  assert.equal(summary.frames, 1);
  assert.equal(summary.width, width);
  assert.equal(summary.height, height);
  assert.equal(summary.fourcc, 'BGRA');
  assert.equal(summary.frame_rate_n, 60);
  assert.equal(summary.line_stride, width * 4);
  assert.equal(summary.audio_blocks, 1);
  assert.equal(summary.samples_per_channel, 480);
  assert.equal(summary.sample_rate, 48000);
  assert.equal(summary.channels, 1);
  assert.equal(summary.destroyed, true);
});
