'use strict';
// Shared by the suites and the long-run children: the module, the stand-in
// probe, and real X11 windows from the test-window program.
const assert = require('node:assert/strict');
const paths = require('../stress/build_paths');
const { TestWindow } = require('../stress/test_window');

const addon = require(paths.addon);
const probe = require(paths.probe);

// Bounded wait for the capture thread or the X server; not a timing check.
async function eventually(ready, what) {
  for (let i = 0; i < 1000; i++) {
    if (ready()) return;
    await new Promise((resolve) => setTimeout(resolve, 10));
  }
  assert.fail(`gave up waiting: ${what}`);
}

// The newest stand-in instance created under `name`.
function instanceNamed(name) {
  for (let id = probe.library().instancesCreated; id >= 1; id--) {
    const record = probe.instance(id);
    if (record && record.name === name) return record;
  }
  return null;
}

// Waits for a frame of the named source beyond the `count` it had.
async function framesAfter(name, count) {
  await eventually(() => (instanceNamed(name)?.videoFrames ?? 0) > count, `a new frame of ${name}`);
  return instanceNamed(name);
}

const firstFrame = (name) => framesAfter(name, 0);

// Stops the output and checks that its source was flushed and withdrawn.
function stopAndCheck(outputId, name) {
  assert.equal(addon.ndiOutputStop(outputId), undefined);
  const record = instanceNamed(name);
  assert.equal(record.destroyed, true, `${name} still alive after stop`);
  assert.equal(record.flushedBeforeDestroy, true, `${name} destroyed without a flush`);
}

// The test window's picture at phase 0 (see its pattern header) as the source
// must carry it: translucent cells in straight alpha on a 32-bit window.
const straight = [[0, 0, 0, 0], [255, 255, 255, 1], [128, 128, 128, 128], [127, 127, 127, 200],
  [128, 128, 128, 2]];
function expectedPicture(width, height, argb) {
  const out = Buffer.alloc(width * height * 4);
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const cell = (Math.floor(x / 4) + Math.floor(y / 4)) % (straight.length + 1);
      const pixel = argb && cell < straight.length ? straight[cell]
        : [x & 255, (y * 3) & 255, ((x >> 8) * 16 + (y >> 8) * 4 + 1) & 255, 255];
      out.set(pixel, (y * width + x) * 4);
    }
  }
  return out;
}

module.exports = { addon, probe, buildDir: paths.buildDir, TestWindow, eventually, instanceNamed,
  framesAfter, firstFrame, stopAndCheck, expectedPicture };
