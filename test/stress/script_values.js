'use strict';
// Script values for the fuzzer: every JS type, and the awkward members of
// each (throwing proxies and toJSON, cyclic objects, long and non-BMP
// strings, Buffers at odd offsets, on shared memory or detached).
//
// Buffers with random contents never carry a real X11 window id in their
// first 8 bytes: bits 29-31 of the low word are set, and X11 resource ids use
// 29 bits. A random handle therefore names no window and fails cleanly.

class PlantedError extends Error {
  constructor(where) {
    super(`planted by the fuzzer: ${where}`);
    this.name = 'PlantedError';
  }
}

function planted(where) {
  return () => {
    throw new PlantedError(where);
  };
}

const hugeText = 'x'.repeat(1 << 20);

function noWindowBytes(rng, n) {
  const bytes = rng.bytes(n);
  if (n >= 4) bytes[3] |= 0xe0;
  return bytes;
}

const interestingNumbers = [
  0, -0, 1, -1, 1.5, -1.5, 2, 7, 8, 9, 16, 255, 2 ** 31, 2 ** 31 - 1, 2 ** 32, 2 ** 32 - 1,
  2 ** 32 + 1, 2 ** 53, -(2 ** 53), 4294967295, NaN, Infinity, -Infinity, Number.MAX_VALUE,
  Number.MIN_VALUE, Number.EPSILON, 1e-300, 7999, 8000, 8000.5, 44100, 48000, 96000, 192000,
  192001, 192000.9, 4294967296 + 48000,
];

const interestingStrings = [
  '', 'a', 'output', 'Studio A', ' ', '\t\n\r\v\f', '\u3000\u2028\u00a0 ', '\u0085', '\ufeff',
  '\0', 'x\0y', '\0\0\0', ' \0 ', '😀', '𝄞 music', '\ud800', '\udc00x', 'a\ud83d', '\u{10ffff}',
  'é\u0301', '"quoted" \\ back', '\u0007\u001b',
];

function longString(rng) {
  switch (rng.int(4)) {
    case 0:
      return 'a'.repeat(rng.pick([1000, 65536, 1 << 20]));
    case 1:
      return '😀'.repeat(rng.pick([100, 50000]));
    case 2:
      return `${'\0'.repeat(rng.int(5))}${'z'.repeat(5000)}\0`;
    default:
      return ' '.repeat(rng.pick([100, 100000]));
  }
}

function randomString(rng) {
  const length = rng.int(24);
  let text = '';
  for (let i = 0; i < length; i++) {
    const range = rng.int(5);
    if (range === 0) text += String.fromCharCode(rng.int(0x80));
    else if (range === 1) text += String.fromCharCode(rng.int(0x800));
    else if (range === 2) text += String.fromCharCode(rng.int(0x10000));  // lone surrogates too
    else if (range === 3) text += String.fromCodePoint(0x10000 + rng.int(0x100000));
    else text += rng.pick([' ', '\0', '\u3000', 'a']);
  }
  return text;
}

function string(rng) {
  const kind = rng.int(10);
  if (kind < 5) return rng.pick(interestingStrings);
  if (kind < 9) return randomString(rng);
  return longString(rng);
}

function number(rng) {
  const kind = rng.int(4);
  if (kind < 2) return rng.pick(interestingNumbers);
  if (kind === 2) return rng.int(200001);
  return (rng.next() - 0.5) * 2 ** rng.int(70);
}

function cyclic() {
  const object = { name: 'loop' };
  object.self = object;
  return object;
}

function throwingProxy(target) {
  const trap = planted('proxy trap');
  return new Proxy(target, {
    get: trap, has: trap, ownKeys: trap, getOwnPropertyDescriptor: trap,
    getPrototypeOf: trap, apply: trap, construct: trap, defineProperty: trap,
  });
}

function revokedProxy() {
  const { proxy, revoke } = Proxy.revocable({}, {});
  revoke();
  return proxy;
}

function object(rng) {
  switch (rng.int(15)) {
    case 0: return {};
    case 1: return { a: 1 };
    case 2: return [1, 'x', null];
    case 3: return cyclic();
    case 4: return { toJSON: planted('toJSON') };
    case 5: return { toJSON: () => hugeText };
    case 6: return { toJSON: () => undefined };
    case 7: return Object.defineProperty({}, 'x', { enumerable: true, get: planted('getter') });
    case 8: return { [Symbol.toPrimitive]: planted('toPrimitive'), valueOf: planted('valueOf') };
    case 9: return throwingProxy({});
    case 10: return revokedProxy();
    case 11: return { length: 8, buffer: new ArrayBuffer(8), byteOffset: 0 };
    case 12: return { throw: 1, toJSON() { throw 42; } };  // eslint-disable-line no-throw-literal
    case 13: return new ArrayBuffer(8);
    default: return rng.pick([new Date(NaN), new Map([[1, 2]]), new String('boxed'), Object.create(null)]);
  }
}

function fn(rng) {
  switch (rng.int(6)) {
    case 0: return function named() {};
    case 1: return [() => {}][0];
    case 2: return class Klass {};
    case 3: return Object.defineProperty(function f() {}, 'name', { get: planted('name getter') });
    case 4: return Object.defineProperty(function g() {}, 'name', { value: 42 });
    default: return throwingProxy(function target() {});
  }
}

function detached(n) {
  const storage = new ArrayBuffer(n);
  const view = Buffer.from(storage);
  structuredClone(storage, { transfer: [storage] });
  return view;
}

// Byte views of every kind, n bytes long (or detached: 0).
function bytesOfLength(rng, n) {
  switch (rng.int(10)) {
    case 0: case 1: case 2: return noWindowBytes(rng, n);
    case 3: return Buffer.alloc(n);
    case 4: {  // a view at an odd offset into a larger ArrayBuffer
      const offset = 1 + 2 * rng.int(8);
      const view = Buffer.from(new ArrayBuffer(n + offset + rng.int(9)), offset, n);
      noWindowBytes(rng, n).copy(view);
      return view;
    }
    case 5: {
      const view = Buffer.from(new SharedArrayBuffer(n + 3), 3, n);
      noWindowBytes(rng, n).copy(view);
      return view;
    }
    case 6: return detached(n);
    case 7: return new Uint8Array(noWindowBytes(rng, n));
    case 8: return new Float32Array(noWindowBytes(rng, n & ~3).buffer, 0, n >> 2);
    default: return new DataView(noWindowBytes(rng, n).buffer);
  }
}

function bytes(rng) {
  const n = rng.pick([0, 1, 3, 4, 7, 8, 9, 16, 17, rng.int(64), rng.int(8192)]);
  return bytesOfLength(rng, n);
}

function anyValue(rng) {
  switch (rng.int(12)) {
    case 0: return rng.pick([undefined, null]);
    case 1: return rng.chance(0.5);
    case 2: case 3: return number(rng);
    case 4: return rng.pick([0n, -1n, 2n ** 64n, 48000n]);
    case 5: return rng.pick([Symbol('s'), Symbol.iterator, Symbol()]);
    case 6: case 7: return string(rng);
    case 8: case 9: return object(rng);
    case 10: return fn(rng);
    default: return bytes(rng);
  }
}

module.exports = {
  anyValue, string, number, bytes, bytesOfLength,
};
