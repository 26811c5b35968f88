'use strict';
// A small seeded generator (mulberry32), so that a failing run can be
// repeated exactly from its seed.

function createRandom(seed) {
  let state = seed >>> 0;
  const next = () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = Math.imul(state ^ (state >>> 15), state | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  const int = (n) => Math.floor(next() * n);
  return {
    next,
    int,
    chance: (p) => next() < p,
    pick: (list) => list[int(list.length)],
    bytes: (n) => Buffer.from(Array.from({ length: n }, () => int(256))),
  };
}

module.exports = { createRandom, randomSeed: () => Math.floor(Math.random() * 0x100000000) >>> 0 };
