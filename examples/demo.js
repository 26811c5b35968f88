'use strict';
// The demo behind `npm start` (run it through scripts/demo, which prepares the
// runtime and the display): a test window with a moving picture published as
// the NDI source "tarvix demo", with a 440 Hz stereo tone in 10 ms blocks.
//   node examples/demo.js [--seconds N]
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const readline = require('node:readline');

const root = path.resolve(__dirname, '..');
const buildDir = path.resolve(root, process.env.TARVIX_BUILD_DIR || 'build');
const addon = process.env.TARVIX_BUILD_DIR
  ? require(path.join(buildDir, 'Release', 'tarvix_ndi_addon.node'))
  : require('..');

const SOURCE = 'tarvix demo';
const OUTPUT_ID = 'demo';
const WIDTH = 640;
const HEIGHT = 360;
const SAMPLE_RATE = 48000;
const BLOCK_SAMPLES = SAMPLE_RATE / 100; // 10 ms
const TONE_HZ = 440;

function parseSeconds(argv) {
  const at = argv.indexOf('--seconds');
  const text = at >= 0 ? argv[at + 1] : process.env.TARVIX_DEMO_SECONDS || '5';
  const seconds = Number(text);
  if (!Number.isFinite(seconds) || seconds <= 0) {
    console.error(`demo: --seconds wants a positive number, not ${JSON.stringify(text)}`);
    process.exit(2);
  }
  return seconds;
}

// The test-window program prints its window id once the window shows.
function openWindow() {
  const program = path.join(buildDir, 'test', 'tarvix_test_window');
  const child = spawn(program, ['--size', `${WIDTH}x${HEIGHT}`, '--title', SOURCE],
    { stdio: ['pipe', 'pipe', 'inherit'] });
  const lines = readline.createInterface({ input: child.stdout });
  return new Promise((resolve, reject) => {
    child.once('error', reject);
    child.once('exit', (code) => reject(new Error(`test window exited (${code})`)));
    lines.once('line', (line) => {
      const handle = Buffer.alloc(8);
      handle.writeBigUInt64LE(BigInt(line.split(' ')[0]));
      child.stdin.write('animate on\n');
      resolve({ child, handle });
    });
  });
}

// Planar stereo: the same tone in both channels, phase carried across blocks.
function toneBlock(firstSample) {
  const samples = new Float32Array(BLOCK_SAMPLES * 2);
  for (let i = 0; i < BLOCK_SAMPLES; i++) {
    const value = 0.2 * Math.sin((2 * Math.PI * TONE_HZ * (firstSample + i)) / SAMPLE_RATE);
    samples[i] = value;
    samples[BLOCK_SAMPLES + i] = value;
  }
  return Buffer.from(samples.buffer);
}

// The stand-in runtime's summary of the source, when it writes one.
function standinSummary() {
  const dir = process.env.TARVIX_NDI_STANDIN_DIR;
  if (!dir || !fs.existsSync(dir)) return null;
  for (const file of fs.readdirSync(dir).filter((f) => f.endsWith('.json'))) {
    try {
      const summary = JSON.parse(fs.readFileSync(path.join(dir, file), 'utf8'));
      const png = path.join(dir, file.replace(/\.json$/, '.png'));
      if (summary.name === SOURCE) return { ...summary, png };
    } catch {
      // A summary from another program or run; not ours.
    }
  }
  return null;
}

function forgetEarlierRuns() {
  const earlier = standinSummary();
  if (!earlier) return;
  fs.rmSync(earlier.png, { force: true });
  fs.rmSync(earlier.png.replace(/\.png$/, '.json'), { force: true });
}

function report(blocks, samples) {
  const summary = standinSummary();
  if (!summary) {
    console.log(`Sent ${blocks} audio blocks (${samples} samples per channel). ` +
      'Frames went to the NDI runtime; look for the source on a receiver.');
    return;
  }
  console.log(`The source "${summary.name}" carried:`);
  console.log(`  video: ${summary.frames} frames, ${summary.width} x ${summary.height}, ` +
    `${summary.frame_rate_n}/${summary.frame_rate_d} fps, aspect ratio ` +
    `${summary.picture_aspect_ratio.toFixed(4)}, ${summary.fourcc}`);
  console.log(`  audio: ${summary.audio_blocks} blocks, ${summary.samples_per_channel} samples ` +
    `per channel, ${summary.channels} channels at ${summary.sample_rate} Hz`);
  console.log(`  last frame: ${summary.png}`);
}

async function main() {
  const seconds = parseSeconds(process.argv.slice(2));
  const standin = process.env.TARVIX_DEMO_RUNTIME !== 'system';
  console.log(standin
    ? 'Using the stand-in NDI runtime; it writes what the source carries to ' +
      process.env.TARVIX_NDI_STANDIN_DIR
    : 'Using the NDI runtime installed on this machine: the source is on the network.');
  if (standin) forgetEarlierRuns();

  const { child, handle } = await openWindow();
  try {
    addon.ndiOutputStart(handle, OUTPUT_ID, SOURCE);
  } catch (error) {
    console.error(`demo: could not start the output: ${error.message} (${error.code})`);
    child.stdin.end();
    process.exitCode = 1;
    return;
  }
  console.log(`Publishing "${SOURCE}" for ${seconds} s (Ctrl-C stops sooner).`);

  let blocks = 0;
  let stopping = false;
  const started = Date.now();
  process.once('SIGINT', () => { stopping = true; });
  let lastFrames = 0;
  let lastReport = started;
  // Timers drift, so send as many blocks as the clock says are due.
  while (!stopping && Date.now() - started < seconds * 1000) {
    const due = Math.floor((Date.now() - started) / 10);
    for (; blocks < due; blocks++) {
      addon.ndiOutputSendAudio(OUTPUT_ID, toneBlock(blocks * BLOCK_SAMPLES), SAMPLE_RATE, 2);
    }
    if (Date.now() - lastReport >= 1000) {
      const frames = standinSummary()?.frames;
      const now = Date.now();
      const rate = frames === undefined
        ? 'n/a' : ((frames - lastFrames) * 1000 / (now - lastReport)).toFixed(1);
      console.log(`  ${((now - started) / 1000).toFixed(0)} s: ${frames ?? 'n/a'} frames ` +
        `(${rate} fps), ${blocks} audio blocks`);
      lastFrames = frames ?? 0;
      lastReport = now;
    }
    await new Promise((resolve) => setTimeout(resolve, 5));
  }

  addon.ndiOutputStop(OUTPUT_ID);
  child.stdin.end();
  report(blocks, blocks * BLOCK_SAMPLES);
}

main().catch((error) => {
  console.error(`demo: ${error.message}`);
  process.exitCode = 1;
});
