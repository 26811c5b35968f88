'use strict';
// Loading the Windows module where Processing.NDI.Lib.x64.dll cannot be
// found: require fails with the loader's message, and nothing else happens.
//   TARVIX_ADDON   path of tarvix_ndi_addon.node
const assert = require('node:assert/strict');

let outcome = 'ok';
try {
  assert.throws(() => require(process.env.TARVIX_ADDON), (error) => {
    assert.equal(error.code, 'ERR_DLOPEN_FAILED');
    // Windows says "The specified module could not be found.", Wine "Module not found."
    assert.match(error.message, /module could not be found|module not found/i);
    assert.ok(error.message.includes('tarvix_ndi_addon.node'), error.message);
    return true;
  });
} catch (error) {
  outcome = `not ok\n  ${error.stack}`;
}
console.log(`${outcome} - require fails with the loader's message without the NDI runtime`);
console.log(`load: ${outcome === 'ok' ? 1 : 0} passed, ${outcome === 'ok' ? 0 : 1} failed`);
process.exitCode = outcome === 'ok' ? 0 : 1;
