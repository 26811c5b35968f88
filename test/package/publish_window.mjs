// Run from a project that installed the packed tarball: imports the package
// as an ES module and requires it as CommonJS, then publishes a real window,
// handed over as Electron does on Linux (a 4-byte X11 id), until frames
// arrive. The stand-in runtime reports them in TARVIX_NDI_STANDIN_DIR.
//   node publish_window.mjs <test-window program>
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join } from 'node:path';
import { once } from 'node:events';
import { setTimeout as sleep } from 'node:timers/promises';
import addon, { ndiOutputStart, ndiOutputSendAudio, ndiOutputStop } from 'tarvix-ndi-addon';

const required = createRequire(join(process.cwd(), 'index.js'))('tarvix-ndi-addon');
assert.equal(required, addon, 'CommonJS and ES module give one module');
assert.deepEqual([ndiOutputStart, ndiOutputSendAudio, ndiOutputStop],
  [required.ndiOutputStart, required.ndiOutputSendAudio, required.ndiOutputStop]);

const window = spawn(process.argv[2], ['--size', '640x480'], { stdio: ['pipe', 'pipe', 'inherit'] });
const [line] = await once(window.stdout, 'data');
const handle = Buffer.alloc(4);
handle.writeUInt32LE(Number(String(line).split(' ')[0]));

const summary = () => {
  try {
    return JSON.parse(readFileSync(join(process.env.TARVIX_NDI_STANDIN_DIR, 'packaged.json'), 'utf8'));
  } catch {
    return { frames: 0 };
  }
};
try {
  ndiOutputStart(handle, 'packaged', 'packaged');
  // Bounded: the stand-in rewrites its summary a few times a second.
  for (let i = 0; i < 200 && summary().frames === 0; i++) await sleep(50);
  ndiOutputStop('packaged');
  const { frames, width, height, picture_aspect_ratio: ratio } = summary();
  assert.ok(frames > 0, 'no frame arrived');
  assert.deepEqual([width, height, ratio.toFixed(4)], [640, 480, (4 / 3).toFixed(4)]);
  console.log(`published: ${frames} frames of ${width} x ${height}`);
} finally {
  window.stdin.end();
}
