// Run in a project that installed the packed tarball: imports the package and
// requires it, then publishes a real window, handed over as Electron does on
// Linux (a 4-byte X11 id), until the stand-in runtime reports frames in
// TARVIX_NDI_STANDIN_DIR.   node publish_window.mjs <test-window program>
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { once } from 'node:events';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { setTimeout as sleep } from 'node:timers/promises';
import addon, { ndiOutputStart, ndiOutputStop } from 'tarvix-ndi-addon';

assert.equal(createRequire(import.meta.url)('tarvix-ndi-addon'), addon);
assert.equal(addon.ndiOutputStart, ndiOutputStart);

const window = spawn(process.argv[2], ['--size', '640x480'], { stdio: ['pipe', 'pipe', 'inherit'] });
const handle = Buffer.alloc(4);
handle.writeUInt32LE(Number(String((await once(window.stdout, 'data'))[0]).split(' ')[0]));
const summary = () => {
  try {
    return JSON.parse(readFileSync(`${process.env.TARVIX_NDI_STANDIN_DIR}/packaged.json`, 'utf8'));
  } catch {
    return { frames: 0 };
  }
};
try {
  ndiOutputStart(handle, 'packaged', 'packaged');
  for (let i = 0; i < 200 && summary().frames === 0; i++) await sleep(50);  // bounded
  ndiOutputStop('packaged');
  const { frames, width, height } = summary();
  assert.deepEqual([frames > 0, width, height], [true, 640, 480]);
  console.log(`published: ${frames} frames of ${width} x ${height}`);
} finally {
  window.stdin.end();
}
