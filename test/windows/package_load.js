'use strict';
// Run by node.exe in a project that installed the packed tarball. "found":
// NDI_RUNTIME_DIR_V6 names the runtime's folder; require and import load the
// module and PATH is left as it was. "missing": require fails with the hint.
const assert = require('node:assert/strict');

async function check(expect) {
  if (expect === 'missing') {
    assert.throws(() => require('tarvix-ndi-addon'), ({ message }) =>
      ['Processing.NDI.Lib.x64.dll', 'https://ndi.link/NDIRedistV6', 'NDI_RUNTIME_DIR_V6']
        .every((part) => message.includes(part)) && !message.includes('stand-in'));
    return 'without the runtime, require fails with the hint';
  }
  const path = process.env.PATH;
  const addon = require('tarvix-ndi-addon');
  assert.equal(addon.ndiOutputStop('never started'), undefined);
  assert.equal((await import('tarvix-ndi-addon')).ndiOutputStop, addon.ndiOutputStop);
  assert.equal(process.env.PATH, path);
  return 'the packed module loads with the runtime found through NDI_RUNTIME_DIR_V6';
}

check(process.argv[2]).then((name) => console.log(`ok - ${name}`), (error) => {
  console.log(`not ok - ${process.argv[2]}: ${error.stack}`);
  process.exitCode = 1;
});
