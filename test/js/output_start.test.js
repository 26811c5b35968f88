'use strict';
// ndiOutputStart against real X11 windows and the stand-in runtime: what it
// accepts, what it refuses with which message, and what a refusal leaves.
const test = require('node:test');
const assert = require('node:assert/strict');
const { addon, probe, TestWindow, instanceNamed, framesAfter, firstFrame, stopAndCheck } =
  require('./output_helpers');

const failure = (message) => ({ code: 'GenericFailure', message });
const ndiFailure = (debug) => failure(`NDI initialization failed: ${debug}`);

let window;
test.before(async () => {
  // Only here, before any start: afterwards the library stays initialised and
  // a reset would make the stand-in forget that.
  probe.reset();
  window = await TestWindow.open();
});
test.after(() => window.close());

// First in the file, while no start has kept the library initialised.
test('a failing NDI runtime fails the start and leaves no reference behind', () => {
  probe.failNextInitialize(1);
  assert.throws(() => addon.ndiOutputStart(window.handle(), 'rt', 'runtime'),
    ndiFailure('InitializationFailed("NDIlib_initialize failed")'));
  assert.equal(probe.library().initialized, false);

  probe.failNextSendCreate(1);
  assert.throws(() => addon.ndiOutputStart(window.handle(), 'rt', 'runtime'),
    ndiFailure('InitializationFailed("Failed to create NDI send instance")'));
  const library = probe.library();
  assert.equal(library.initialized, false, 'the start kept its runtime reference');
  assert.equal(library.initializeCalls, library.destroyCalls + 1);
  assert.equal(library.liveInstances, 0);

  // Nothing was registered: the same id starts for real now.
  addon.ndiOutputStart(window.handle(), 'rt', 'runtime');
  stopAndCheck('rt', 'runtime');
  // A start that got as far as its sender keeps the library for the process.
  assert.equal(probe.library().initialized, true);
});

test('takes the handle from the first 8 bytes, or 4 as Electron gives, and refuses fewer',
  async () => {
  for (const length of [4, 7, 16]) {
    const name = `handle ${length}`;
    assert.equal(addon.ndiOutputStart(window.handle(length), name, name), undefined);
    assert.equal((await firstFrame(name)).lastVideo.width, window.width);
    stopAndCheck(name, name);
  }
  assert.throws(() => addon.ndiOutputStart(window.handle(3), 'short', 'short'),
    failure('Window handle buffer too short: expected at least 4 bytes, got 3'));
  assert.equal(instanceNamed('short'), null);
});

test('a second start for a running id returns at once and changes nothing', async () => {
  addon.ndiOutputStart(window.handle(), 'dup', 'first');
  const before = probe.library().instancesCreated;
  assert.equal(addon.ndiOutputStart(Buffer.alloc(3), 'dup', ''), undefined);
  assert.equal(addon.ndiOutputStart(window.handle(), 'dup', 'second'), undefined);
  assert.equal(probe.library().instancesCreated, before);

  const frames = (await firstFrame('first')).videoFrames;
  await window.command('redraw 3');
  await framesAfter('first', frames);
  stopAndCheck('dup', 'first');
});

// Refused names and handles that name no window are the script-surface
// fuzzer's (reliability.test.js), call by call.
test('the source name reaches the SDK as given, with the fixed sender options', () => {
  const name = ' Kamera Süd – 1 ';
  addon.ndiOutputStart(window.handle(), 'named', name);
  const record = instanceNamed(name);
  assert.deepEqual([record.name, record.groups, record.clockVideo, record.clockAudio],
    [name, null, true, false]);
  stopAndCheck('named', name);
});
