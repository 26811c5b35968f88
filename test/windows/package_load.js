'use strict';
// Run by node.exe from a project that installed the packed tarball.
//   found:   NDI_RUNTIME_DIR_V6 names the runtime's folder; the module loads
//            from require and import, and PATH is left as it was.
//   missing: no runtime anywhere; require fails with the hint.
const assert = require('node:assert/strict');

async function check(expect) {
  if (expect === 'found') {
    const path = process.env.PATH;
    const addon = require('tarvix-ndi-addon');
    assert.deepEqual(Object.keys(addon).sort(),
      ['ndiOutputSendAudio', 'ndiOutputStart', 'ndiOutputStop']);
    assert.equal(addon.ndiOutputStop('never started'), undefined);
    assert.equal((await import('tarvix-ndi-addon')).ndiOutputStop, addon.ndiOutputStop);
    assert.equal(process.env.PATH, path);
    return 'the packed module loads with the runtime found through NDI_RUNTIME_DIR_V6';
  }
  assert.throws(() => require('tarvix-ndi-addon'), (error) => {
    assert.equal(error.code, 'ERR_DLOPEN_FAILED');
    for (const part of ['Processing.NDI.Lib.x64.dll', 'https://ndi.link/NDIRedistV6',
      'NDI_RUNTIME_DIR_V6']) {
      assert.ok(error.message.includes(part), `${part} missing from: ${error.message}`);
    }
    assert.doesNotMatch(error.message, /stand-in/, 'an installed package has no stand-in');
    return true;
  });
  return 'without the runtime, require fails with the hint';
}

const expect = process.argv[2];
check(expect).then((name) => console.log(`ok - ${name}`), (error) => {
  console.log(`not ok - ${expect}\n  ${String(error.stack).replace(/\n/g, '\n  ')}`);
  process.exitCode = 1;
});
