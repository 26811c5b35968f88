'use strict';
// Compares what the receiver got from the real runtime with what was sent.
//   node check.js SENT_FILE RECEIVED_FILE PUBLISHER_STATUS RECEIVER_STATUS
// Prints one ok / not ok line per check.
const fs = require('node:fs');

// Largest error per channel (B, G, R, A) at a sample point 8 px inside a flat
// cell, in levels. The codec's measured worst case over 20 runs is B 3, G 1,
// R 2, A 0 at such points (8, 2, 3, 1 anywhere in a frame, edges included);
// the tolerance doubles the anywhere figure so codec rounding never trips it
// while a wrong channel, premultiplied colour or shifted cell (tens of levels
// away in this pattern) always does.
const pixelTolerance = [16, 4, 6, 2];
// Audio arrives within about peak / 32768 of what was sent; twice that for a
// peak of 1 bounds both channels here.
const audioTolerance = 2 / 32768;
const minFrames = 30;

const lines = (file) => (fs.existsSync(file) ? fs.readFileSync(file, 'utf8') : '')
  .split('\n').filter(Boolean).map((l) => JSON.parse(l));
const [sentFile, receivedFile, publisherStatus, receiverStatus] = process.argv.slice(2);
const sent = lines(sentFile);
const received = lines(receivedFile);
// Expectations come in parts (picture, audio) from the window and the script.
const expect = Object.assign({}, ...sent.filter((l) => l.expect).map((l) => l.expect));
const videos = received.filter((l) => l.video).map((l) => l.video);
const audios = received.filter((l) => l.audio).map((l) => l.audio);

let failed = 0;
function result(name, ok, detail) {
  failed += !ok;
  console.log(`${ok ? 'ok' : 'not ok'} - real runtime: ${name}${!ok && detail ? `: ${detail}` : ''}`);
}
const every = (list, predicate) => list.length > 0 && list.every(predicate);

result('node.exe stopped the output and exited by itself',
  publisherStatus === '0' && sent.some((l) => l.stopped), `status ${publisherStatus}`);
result('the receiver ran to its end', receiverStatus === '0', `status ${receiverStatus}`);
const { width, height, cell, marker_row: markerRow, marker_bits: markerBits } = expect;
result(`at least ${minFrames} video frames arrived`, videos.length >= minFrames && width > 0,
  `${videos.length}`);
// The module announces each frame's own shape.
result(`every frame is ${width} x ${height} BGRA, stride ${4 * width}, 60/1 progressive, ` +
  `aspect ${width} / ${height}`, every(videos, (v) => v.xres === width && v.yres === height &&
  v.stride === 4 * width && v.fourcc === 0x41524742 && v.n === 60 && v.d === 1 &&
  v.format === 1 && Math.abs(v.aspect - width / height) < 1e-6));

// Sample points are the centres of PITCH x PITCH blocks, row by row.
const worst = [0, 0, 0, 0];
const markers = videos.map((v) => {
  const perRow = Math.ceil(v.xres / v.pitch);
  let marker = 0;
  v.cells.forEach((pixel, i) => {
    const row = Math.floor((Math.floor(i / perRow) * v.pitch + v.pitch / 2) / cell);
    const col = Math.floor(((i % perRow) * v.pitch + v.pitch / 2) / cell);
    if (row < markerRow) {
      const want = expect.cells[row * (width / cell) + col];
      pixel.forEach((value, c) => { worst[c] = Math.max(worst[c], Math.abs(value - want[c])); });
    } else if (row === markerRow && col < markerBits && pixel[0] > 127) {
      marker |= 1 << col;
    }
  });
  return marker;
});
const [tb, tg, tr, ta] = pixelTolerance;
result(`every cell of every frame within B ${tb} G ${tg} R ${tr} A ${ta} levels`,
  videos.length > 0 && worst.every((e, c) => e <= pixelTolerance[c]), `B G R A ${worst.join(' ')}`);

// Frame numbers run modulo 2^markerBits and must never go back. A number
// may repeat: the runtime can hand a new connection one frame twice (same
// timecode), and a capture can find the window not yet repainted. A sender
// repeating old frames would repeat far more often than that.
const span = 1 << markerBits;
const steps = markers.slice(1).map((m, i) => (m - markers[i] + span) % span);
const repeats = steps.filter((s, i) => s === 0 && videos[i + 1].timecode !== videos[i].timecode);
const back = steps.findIndex((s) => s >= span / 2);
result('the frame number never goes back and advances on at least 3 frames in 4',
  markers.length > 1 && back < 0 && repeats.length * 4 <= markers.length,
  back < 0 ? `${repeats.length} repeats in ${markers.length} frames` :
    `frames ${back} and ${back + 1}: ${markers[back]} then ${markers[back + 1]}`);

// Paint-to-receive latency (printed, never asserted): a frame's receipt
// against the latest painting of its number before it.
const paints = sent.filter((l) => 'sent' in l);
const latencies = videos.map((v, i) => paints.filter((l) => l.sent % span === markers[i] && l.t <= v.t)
  .pop()).map((paint, i) => paint && (videos[i].t - paint.t) / 1000).filter((ms) => ms !== undefined)
  .sort((a, b) => a - b);
const at = (p) => latencies[Math.min(latencies.length - 1, Math.floor(p * latencies.length))];
if (latencies.length) {
  console.log(`# paint-to-receive latency over ${latencies.length} frames: median ` +
    `${at(0.5).toFixed(2)} ms, p95 ${at(0.95).toFixed(2)} ms`);
}

result(`audio arrives as ${expect.rate} Hz, 2 planar channels, ${expect.block} samples a block`,
  every(audios, (a) => a.rate === expect.rate && a.channels === 2 &&
    a.samples === expect.block && a.stride === 4 * expect.block));
const ids = audios.map((a) => Math.round(a.data[1][0] * 1024));
// Audio flows about a second before the first frame; while the connection
// settles the runtime may drop a few blocks (seen once in 20 runs), never
// once the picture is through.
const settled = audios.findIndex((a) => videos.length && a.t >= videos[0].t);
const gaps = ids.slice(1).map((id, i) => [i + 1, id - ids[i]]).filter(([, step]) => step !== 1);
result('audio blocks arrive in order, none lost once frames arrive',
  audios.length >= minFrames && settled >= 0 && gaps.every(([at, step]) => step > 1 && at <= settled),
  `${audios.length} blocks, the first frame at block ${settled}, gaps (block, step) ${gaps.join(' ')}`);
let audioWorst = 0;
audios.forEach((a, k) => {
  a.data[0].forEach((s, i) => { audioWorst = Math.max(audioWorst, Math.abs(s - (-0.5 + i / expect.block))); });
  a.data[1].forEach((s) => { audioWorst = Math.max(audioWorst, Math.abs(s - ids[k] / 1024)); });
});
result('every audio sample within 2 / 32768 of the ramp sent',
  audios.length > 0 && audioWorst <= audioTolerance, `${audioWorst * 32768} / 32768`);
result('stopping withdraws the source: the receiver saw it go', received.some((l) => l.gone));
process.exitCode = failed ? 1 : 0;
