// Publishes a native window as an NDI source, with audio, from a Node or
// Electron script.
//
// Every function returns undefined or throws an Error whose `code` is a
// status name and whose `message` says what failed. The codes are:
// - 'StringExpected': a string argument is not a string (a missing argument
//   counts as undefined). The message describes the value, for example
//   "Failed to convert JavaScript value `Number 42 ` to native type `String`".
//   If describing the value throws (an object whose toJSON throws), that
//   exception is thrown instead.
// - 'NumberExpected': a number argument is not a number, for example
//   "Failed to convert napi value Undefined to native type `u32`".
// - 'InvalidArg': a Buffer argument is not a Buffer or other ArrayBufferView
//   (typed array, DataView): "Failed to create reference from Buffer" (a
//   primitive other than a Symbol) or "Failed to get Buffer pointer and
//   length" (a Symbol, or any other object).
// - 'GenericFailure': the operation itself failed; the message says why.
// Arguments are decoded in order and decoding stops at the first failure; a
// call that fails to decode changes no output. Extra arguments are ignored.
//
// From an ES module: import { ndiOutputStart } from 'tarvix-ndi-addon'.

/**
 * Starts publishing the window as an NDI source named `sourceName`, under
 * `outputId` (any string, the empty one included). Returns once the capture
 * runs. Starting an id that is already running does nothing, once all three
 * arguments have decoded (ids with lone surrogates are read with U+FFFD in
 * their place, so such ids can name the same output).
 *
 * @param windowHandleBuffer What Electron's `getNativeWindowHandle()` returns:
 *   the native window handle, little-endian. On Windows an HWND in the first
 *   8 bytes; on Linux the X11 window id, in the first 8 bytes or, when the
 *   buffer holds 4 to 7 bytes (Electron's own form), in the first 4.
 * @throws {Error} code 'InvalidArg' when `windowHandleBuffer` is not an
 *   ArrayBufferView; 'StringExpected' when `outputId` or `sourceName` is not a
 *   string; 'GenericFailure' when the output cannot start (a handle shorter
 *   than 8 bytes on Windows or 4 on Linux, a window that cannot be captured,
 *   an NDI runtime that fails).
 */
export function ndiOutputStart(
  windowHandleBuffer: ArrayBufferView,
  outputId: string,
  sourceName: string,
): undefined;

/**
 * Sends one block of audio through the NDI source of a running output.
 * Rate and channels are taken modulo 2^32 as unsigned integers first. Blocks
 * for an id that is not running, with a sample rate outside 8000 to 192000
 * Hz, or with fewer floats than channels are dropped silently.
 *
 * @param samples 32-bit little-endian floats, planar: all of channel 0, then
 *   all of channel 1, and so on. Trailing bytes that do not fill a sample
 *   frame are ignored. The Buffer may be reused as soon as the call returns.
 * @param sampleRate In Hz.
 * @param channels 0 counts as 1, more than 8 as 8.
 * @throws {Error} code 'StringExpected' when `outputId` is not a string;
 *   'InvalidArg' when `samples` is not an ArrayBufferView; 'NumberExpected'
 *   when `sampleRate` or `channels` is not a number; 'GenericFailure' when the
 *   block is too large to send as one frame (over 64 MiB of samples, or a
 *   channel over 2 GiB).
 */
export function ndiOutputSendAudio(
  outputId: string,
  samples: ArrayBufferView,
  sampleRate: number,
  channels: number,
): undefined;

/**
 * Ends an output: its capture stops and its NDI source is withdrawn.
 * Stopping an id that is not running does nothing.
 *
 * @throws {Error} code 'StringExpected' when `outputId` is not a string;
 *   'GenericFailure' when the capture fails to end cleanly.
 */
export function ndiOutputStop(outputId: string): undefined;
