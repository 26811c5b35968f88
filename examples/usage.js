'use strict';
// The three functions in a few lines: publish a window as an NDI source, feed
// it one second of silence in 10 ms blocks, and take it down again.
//   node examples/usage.js <window id>
// The window handle travels as the first 8 bytes of a Buffer, little-endian:
// an X11 window id on Linux, an HWND on Windows (where an Electron
// BrowserWindow's getNativeWindowHandle() already is such a Buffer).
const { ndiOutputStart, ndiOutputSendAudio, ndiOutputStop } = require('..');

const handle = Buffer.alloc(8);
handle.writeBigUInt64LE(BigInt(process.argv[2] ?? 0));

try {
  // Returns once the window is being captured; throws with code
  // 'GenericFailure' and a message when it cannot be.
  ndiOutputStart(handle, 'main', 'My window');
} catch (error) {
  console.error(`${error.code}: ${error.message}`);
  process.exit(1);
}

// Planar 32-bit floats: 480 samples of the left channel, then 480 of the right.
const block = Buffer.alloc(480 * 2 * 4);
let sent = 0;
const timer = setInterval(() => {
  ndiOutputSendAudio('main', block, 48000, 2);
  if (++sent === 100) {
    clearInterval(timer);
    ndiOutputStop('main'); // the source disappears from the network
  }
}, 10);
