'use strict';
// What the Windows check scripts share (node:test's child processes do not
// get along with Wine): named checks run in turn, ending with one
// "<part>: N passed, N failed" line, and the stand-in runtime's summary of a
// source (TARVIX_NDI_STANDIN_DIR), or null while there is none.
const fs = require('node:fs');
const path = require('node:path');

const cases = [];
const check = (name, body) => cases.push({ name, body });

function handleBuffer(handle) {
  const bytes = Buffer.alloc(8);
  bytes.writeBigUInt64LE(BigInt(handle));
  return bytes;
}

function summary(sourceName) {
  try {
    return JSON.parse(fs.readFileSync(path.join(process.env.TARVIX_NDI_STANDIN_DIR,
      `${sourceName.replace(/[^A-Za-z0-9._-]/g, '_')}.json`), 'utf8'));
  } catch {
    return null;  // not written yet, or being replaced
  }
}

// No explicit exit: the process must end by itself once the checks are done.
async function runChecks(part) {
  let failed = 0;
  for (const { name, body } of cases) {
    try {
      await body();
      console.log(`ok - ${name}`);
    } catch (error) {
      failed += 1;
      console.log(`not ok - ${name}\n  ${String(error && error.stack).replace(/\n/g, '\n  ')}`);
    }
  }
  console.log(`${part}: ${cases.length - failed} passed, ${failed} failed`);
  process.exitCode = failed === 0 ? 0 : 1;
}

module.exports = { check, handleBuffer, summary, runChecks };
