'use strict';
// Shared by the output and audio suites: the module, the stand-in probe, and
// real X11 windows from the test-window program.
const assert = require('node:assert/strict');
const paths = require('../stress/build_paths');
const { TestWindow } = require('../stress/test_window');

const { root, buildDir } = paths;
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

function firstFrame(name) {
  return framesAfter(name, 0);
}

// Stops the output and checks that its source was flushed and withdrawn.
function stopAndCheck(outputId, name) {
  assert.equal(addon.ndiOutputStop(outputId), undefined);
  const record = instanceNamed(name);
  assert.equal(record.destroyed, true, `${name} still alive after stop`);
  assert.equal(record.flushedBeforeDestroy, true, `${name} destroyed without a flush`);
}

module.exports = { addon, probe, buildDir, root, TestWindow, eventually, instanceNamed,
  framesAfter, firstFrame, stopAndCheck };
