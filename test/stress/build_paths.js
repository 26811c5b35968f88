'use strict';
// Where the built module, the probe addon, the stand-in runtime and the test
// window live. TARVIX_BUILD_DIR points the long runs and the tests at a build
// folder other than build/ (a sanitizer build, a developer's own).
const path = require('node:path');

const root = path.resolve(__dirname, '..', '..');
const buildDir = path.resolve(process.env.TARVIX_BUILD_DIR || path.join(root, 'build'));
const standin = path.join(buildDir, 'standin');

// For a child process that loads the module: the stand-in runtime first on
// the loader's path.
function childEnv(extra = {}) {
  const current = process.env.LD_LIBRARY_PATH;
  return {
    ...process.env,
    LD_LIBRARY_PATH: current ? `${standin}:${current}` : standin,
    TARVIX_BUILD_DIR: buildDir,
    ...extra,
  };
}

module.exports = { root, buildDir, childEnv,
  addon: path.join(buildDir, 'Release', 'tarvix_ndi_addon.node'),
  probe: path.join(buildDir, 'test', 'helpers', 'probe', 'tarvix_ndi_probe.node'),
  testWindow: path.join(buildDir, 'test', 'tarvix_test_window') };
