'use strict';

// Decoding a Buffer argument takes a reference to it; none may outlive the
// call. What each wrong argument throws is checked call by call against its
// expected outcome by the script-surface fuzzer (reliability.test.js).
const test = require('node:test');
const assert = require('node:assert');
const { spawnSync } = require('node:child_process');
const path = require('node:path');

const packageRoot = path.join(__dirname, '..', '..');

// Run in a child with the collector exposed: each object passed where a
// Buffer is expected must be collectable once the call has returned, whether
// the call failed on it, failed after it or succeeded.
test('no reference to a Buffer argument outlives the call', () => {
  const script = `
    const addon = require(${JSON.stringify(packageRoot)});
    const collected = new Set();
    const registry = new FinalizationRegistry((label) => collected.add(label));
    const labels = ['plain object', 'buffer, later argument fails', 'buffer, call succeeds',
                    'window handle, later argument fails'];
    (function pass() {
      const plain = { length: 8 };
      registry.register(plain, labels[0]);
      try { addon.ndiOutputSendAudio('id', plain, 48000, 2); } catch (e) {
        if (e.message !== 'Failed to get Buffer pointer and length') throw e;
      }
      const failing = Buffer.alloc(64);
      registry.register(failing, labels[1]);
      try { addon.ndiOutputSendAudio('id', failing, 'rate', 2); } catch (e) {
        if (e.code !== 'NumberExpected') throw e;
      }
      const sent = Buffer.alloc(64);
      registry.register(sent, labels[2]);
      addon.ndiOutputSendAudio('never started', sent, 48000, 2);
      const window = Buffer.alloc(8);
      registry.register(window, labels[3]);
      try { addon.ndiOutputStart(window, 'id', 42); } catch (e) {
        if (e.code !== 'StringExpected') throw e;
      }
    })();
    (async () => {
      for (let i = 0; i < 50 && collected.size < labels.length; i++) {
        global.gc();
        await new Promise((resolve) => setImmediate(resolve));
      }
      process.stdout.write(JSON.stringify(labels.filter((l) => !collected.has(l))));
    })();
  `;
  const child = spawnSync(process.execPath, ['--expose-gc', '-e', script], {
    encoding: 'utf8',
    timeout: 120000,
  });
  assert.strictEqual(child.status, 0, child.stderr);
  assert.deepStrictEqual(JSON.parse(child.stdout), [], 'still referenced');
});
