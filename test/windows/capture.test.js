'use strict';
// The capture path under a Windows node.exe, against the doubles of the
// capture services (test/windows/doubles). Run by test/windows/capture_phase.sh
// as a plain script:
//   TARVIX_ADDON            path of tarvix_ndi_addon.node
//   TARVIX_TEST_WINDOW      a window of another process, decimal handle
//   TARVIX_NDI_STANDIN_DIR  where the stand-in runtime writes its summaries
//   TARVIX_DOUBLES_DIR      where the doubles' call logs go
// Each check scripts the doubles through process.env, which they read at
// every call.
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { setTimeout: sleep } = require('node:timers/promises');
const { check, handleBuffer, summary, runChecks } = require('./checks');

const addon = require(process.env.TARVIX_ADDON);
const window = handleBuffer(process.env.TARVIX_TEST_WINDOW);

// Polls until `ready` gives a truthy value; a fault fails within the bound.
async function until(what, ready) {
  for (const end = Date.now() + 30000; !ready(); await sleep(50)) {
    if (Date.now() > end) assert.fail(`timed out waiting for ${what}`);
  }
}

// Runs `body` with the doubles scripted by `script` (TARVIX_DOUBLES_<key>)
// and a fresh call log; body gets a reader of the log's lines, each
// { thread, text }.
const scriptKeys = ['PROFILE', 'FAIL', 'SIZE', 'ALPHA', 'CLOSE', 'COUNT', 'LOG'];
let logs = 0;
async function scripted(script, body) {
  const log = path.join(process.env.TARVIX_DOUBLES_DIR, `calls-${++logs}.log`);
  const set = (entries) => entries.forEach(([key, value]) => { process.env[`TARVIX_DOUBLES_${key}`] = value; });
  scriptKeys.forEach((key) => delete process.env[`TARVIX_DOUBLES_${key}`]);
  set(Object.entries({ ...script, LOG: log }));
  const calls = () => (fs.existsSync(log) ? fs.readFileSync(log, 'utf8') : '')
    .split(/\r?\n/).filter(Boolean).map((line) => {
      const [, thread, text] = line.match(/^(\S+) (.*)$/);
      return { thread, text };
    });
  try {
    return await body(calls, set);
  } finally {
    scriptKeys.forEach((key) => delete process.env[`TARVIX_DOUBLES_${key}`]);
  }
}

const texts = (calls) => calls().map((c) => c.text);
const count = (calls, prefix) => texts(calls).filter((t) => t.startsWith(prefix)).length;

// Each of `expected` starts a line, in this order (others may come between).
function assertInOrder(lines, expected) {
  let at = 0;
  for (const prefix of expected) {
    at = lines.findIndex((line, i) => i >= at && line.startsWith(prefix)) + 1;
    assert.ok(at > 0, `missing or out of order: ${prefix}\n  calls: ${lines.join(' | ')}`);
  }
}

// After a capture, failed or not: every handler registered was removed, and
// every dispatcher queue shut down before its thread ended.
function assertNothingLeft(calls) {
  assert.equal(count(calls, 'pool.add_FrameArrived'), count(calls, 'pool.remove_FrameArrived'));
  assert.equal(count(calls, 'item.add_Closed'), count(calls, 'item.remove_Closed'));
  const queues = count(calls, 'queue.CreateDispatcherQueueController');
  assert.ok(queues > 0);
  assert.equal(count(calls, 'queue.shutdown_completed'), queues);
  assert.equal(count(calls, 'queue.thread_ended shut=1'), queues);
  assert.equal(count(calls, 'queue.work_after_shutdown'), 0);
}

// Starts a capture, waits for frames, runs `during`, stops: quietly, or with
// the error `stopped`.
async function capture(id, calls, frames = 3, during = async () => {}, stopped = undefined) {
  addon.ndiOutputStart(window, id, id);
  try {
    await until(`${frames} frames`, () => count(calls, 'pool.frame') >= frames);
    await during();
  } finally {
    if (stopped) assert.throws(() => addon.ndiOutputStop(id), { message: stopped });
    else assert.equal(addon.ndiOutputStop(id), undefined);
  }
}

check('a window of another process goes out in straight alpha, and a stop tears down in order',
  () => scripted({ ALPHA: 192 }, async (calls) => {
    await capture('pixels', calls);
    const source = summary('pixels');
    assert.ok(source.frames >= 1 && source.destroyed, JSON.stringify(source));
    // The window's 306090 (capture_phase.sh) at alpha 192, BGRA in straight alpha.
    assert.deepEqual(source.center_pixel, [191, 128, 64, 192]);
    const lines = texts(calls);
    for (const call of ['session.put_IsCursorCaptureEnabled 0', 'session.put_IsBorderRequired 0',
      'dwm.DwmGetWindowAttribute extended frame bounds awareness=2']) {
      assert.ok(lines.includes(call), call);
    }
    // Handlers gone and pool and session closed before the queue shuts down;
    // the queue shut down before its thread ended.
    assertInOrder(lines, ['session.StartCapture', 'pool.remove_FrameArrived', 'pool.Close',
      'session.Close', 'item.remove_Closed', 'queue.ShutdownQueueAsync',
      'queue.shutdown_completed', 'action.Completed invoked, returned 0x00000000',
      'queue.released shut=1', 'queue.thread_ended shut=1']);
    assertNothingLeft(calls);
  }));

check('a resize drops one frame, then frames come at the new size',
  () => scripted({}, async (calls, set) => {
    await capture('resize', calls, 4, async () => {
      set([['SIZE', '200x150']]);
      await until('frames at 200x150', () => count(calls, 'pool.frame 200x150 content=200x150') >= 4);
    });
    const frames = texts(calls).filter((t) => t.startsWith('pool.frame '));
    const mismatched = frames.filter((t) => !/^pool\.frame (\S+) content=\1$/.test(t));
    assert.equal(mismatched.length, 1, frames.join(' | '));
    assertInOrder(texts(calls), [mismatched[0], 'pool.TryGetNextFrame',
      'pool.Recreate fmt=87 buffers=1 size=200x150', 'pool.frame 200x150 content=200x150']);
    // One staging texture per size, however many frames it carried.
    const staging = texts(calls).filter((t) => t.startsWith('d3d11.CreateTexture2D staging '));
    assert.deepEqual(staging.map((t) => t.split(' ')[2]), [frames[0].split(' ')[1], '200x150']);
    const source = summary('resize');
    assert.deepEqual([source.width, source.height], [200, 150]);
  }));

// One capture per row. The session properties a Windows version has are set,
// the others skipped. A window closing, before a stop or while one runs (an
// app's close handler stopping its output), ends the capture quietly; a frame
// call failing with a code that makes the source drop its handler ends it with
// that error, never leaving it without frames. No failure goes back to an
// event source.
check('Windows versions, windows closing and lost sources', async () => {
  const lost = /^Windows capture error: Frame handler error: Windows API error: .*\(0x80010108\)$/;
  const rows = [  // script; script once a frame came; stop error; cursor and border puts; Closed
    [{ PROFILE: 'win10-22h2' }, null, undefined, 1, 0, 0],
    [{ PROFILE: 'win10-1903' }, null, undefined, 0, 0, 0],
    [{ CLOSE: 'session.Close' }, null, undefined, 1, 1, 1],
    [{ CLOSE: 'ShutdownQueueAsync' }, null, undefined, 1, 1, 1],
    [{}, [['CLOSE', '1']], undefined, 1, 1, 1],
    [{}, [['FAIL', 'TryGetNextFrame=0x80010108']], lost, 1, 1, 0],
  ];
  for (const [script, later, stopped, cursor, border, closed] of rows) {
    await scripted(script, async (calls, set) => {
      await capture('one', calls, 1, async () => {
        if (!later) return;
        set(later);
        await until('the capture thread to end', () => count(calls, 'queue.thread_ended') === 1);
        // Closed comes from a thread of its own, as the real service raises it.
        const [queue, raised] = ['queue.CreateDispatcherQueueController', 'item.Closed raised']
          .map((prefix) => calls().find((c) => c.text.startsWith(prefix)));
        assert.ok(!raised || raised.thread !== queue.thread);
      }, stopped);
      assert.deepEqual([count(calls, 'session.put_IsCursorCaptureEnabled 0'),
        count(calls, 'session.put_IsBorderRequired 0'), count(calls, 'item.Closed raised'),
        count(calls, 'item.Closed returned') + count(calls, 'pool.FrameArrived returned')],
      [cursor, border, closed, 0], JSON.stringify(script));
      assertNothingLeft(calls);
    });
  }
});

check('a start that fails leaves nothing registered and no queue running', async () => {
  const windowsError = (code) => new RegExp(`^Graphics capture error: Windows API error: .*\\(${code}\\)$`);
  const failures = [
    ['put_IsBorderRequired=0x80070057', windowsError('0x80070057')],
    ['CreateForWindow=0x80004005', /^Failed to convert item to `GraphicsCaptureItem`$/],
    ['Create=0x8007000E', windowsError('0x8007000[Ee]')],
    ['StartCapture=0x80070005', windowsError('0x80070005')],
  ];
  for (const [fail, error] of failures) {
    await scripted({ FAIL: fail }, async (calls) => {
      // Twice: a start that stayed registered would return at once the second time.
      for (let i = 0; i < 2; ++i) {
        assert.throws(() => addon.ndiOutputStart(window, 'failing', 'failing'), { message: error }, fail);
      }
      assert.equal(count(calls, 'queue.CreateDispatcherQueueController'), 2, fail);
      assertNothingLeft(calls);
    });
  }
});

check('200 starts and stops leave the process with the handles and threads it had', () =>
  scripted({}, async (calls) => {
    // Counted as each capture thread starts: after 10 captures, and after 200.
    for (let i = 0; i <= 200; ++i) {
      process.env.TARVIX_DOUBLES_COUNT = i === 10 || i === 200 ? '1' : '0';
      addon.ndiOutputStart(window, 'cycles', 'cycles');
      addon.ndiOutputStop('cycles');
    }
    const lines = texts(calls);
    const counted = lines.flatMap((t, i) =>
      [t.match(/^queue\.CreateDispatcherQueueController.* handles=(\d+) threads=(\d+)/)]
        .filter(Boolean).map(([, handles, threads]) => ({ i, handles: Number(handles), threads })));
    assert.equal(counted.length, 201);
    const [before, after] = [counted[10], counted[200]];
    assert.ok(before.handles > 0, 'no handle was counted');
    assert.equal(after.threads, before.threads, 'threads');
    // Wine 8's activation keeps one handle per RoGetActivationFactory call
    // (a registry key, it seems); a Wine without that leak adds none.
    const activations = lines.slice(before.i, after.i).filter((t) => t === 'activation').length;
    const growth = after.handles - before.handles;
    assert.ok(Math.min(Math.abs(growth), Math.abs(growth - activations)) <= 8,
      `handles after 10 captures: ${before.handles}, after 200: ${after.handles}, activations between: ${activations}`);
    assertNothingLeft(calls);
  }));

runChecks('capture');
