'use strict';
// `npm start` as a newcomer runs it, only shorter: it must finish cleanly and
// leave a picture of the window behind.
const test = require('node:test');
const assert = require('node:assert/strict');
const { spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { PNG } = require('pngjs');

const root = path.resolve(__dirname, '..', '..');

test('npm start publishes the demo window and reports what it carried', (t) => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvix-demo-'));
  try {
    const run = spawnSync('npm', ['start', '--silent', '--', '--seconds', '2'], {
      cwd: root,
      env: { ...process.env, TARVIX_NDI_STANDIN_DIR: dir },
      encoding: 'utf8',
      timeout: 600000,
    });
    assert.equal(run.status, 0, `npm start failed:\n${run.stdout}\n${run.stderr}`);
    if (/installed on this machine/.test(run.stdout)) {
      t.skip('the real NDI runtime is installed: nothing is recorded locally');
      return;
    }
    assert.match(run.stdout, /stand-in NDI runtime/);
    assert.match(run.stdout, /video: [1-9]\d* frames, 640 x 360, 60\/1 fps, aspect ratio 1\.7778/);
    assert.match(run.stdout, /audio: [1-9]\d* blocks, \d+ samples per channel, 2 channels at 48000 Hz/);

    const png = path.join(dir, 'tarvix_demo.png');
    assert.ok(run.stdout.includes(png), 'the report does not name the picture');
    const image = PNG.sync.read(fs.readFileSync(png));
    assert.deepEqual([image.width, image.height], [640, 360]);
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
});
