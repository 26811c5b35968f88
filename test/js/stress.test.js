'use strict';
// Many outputs started and stopped on real windows, with video flowing and
// audio sent: afterwards the process holds what it held before (threads, file
// descriptors, shared memory, memory within a few megabytes), every sender is
// gone and the NDI library stays initialised. A shorter pass than
// `npm run stress`.
const test = require('node:test');
const assert = require('node:assert');
const { runStress, problems, summary } = require('../stress/stress_runner');

test('starting and stopping outputs many times leaves nothing behind', { skip: !process.env.DISPLAY && 'needs an X server' }, async () => {
  const report = await runStress({ cycles: 150, rounds: 6 });
  assert.deepStrictEqual(problems(report), [], summary(report));
});
