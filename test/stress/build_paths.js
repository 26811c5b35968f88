'use strict';
// Where the built module, the probe addon, the stand-in runtime and the test
// window live. TARVIX_BUILD_DIR points the long-run scripts and the tests at a
// build folder other than build/ (a sanitizer build, a developer's own).
const path = require('node:path');

const root = path.resolve(__dirname, '..', '..');
const buildDir = path.resolve(process.env.TARVIX_BUILD_DIR || path.join(root, 'build'));

const paths = {
  root,
  buildDir,
  addon: path.join(buildDir, 'Release', 'tarvix_ndi_addon.node'),
  probe: path.join(buildDir, 'test', 'helpers', 'probe', 'tarvix_ndi_probe.node'),
  standin: path.join(buildDir, 'standin'),
  testWindow: path.join(buildDir, 'test', 'tarvix_test_window'),
};

// The environment for a child process that loads the module: the stand-in
// runtime first on the loader's path.
function childEnv(extra = {}) {
  const current = process.env.LD_LIBRARY_PATH;
  return {
    ...process.env,
    LD_LIBRARY_PATH: current ? `${paths.standin}:${current}` : paths.standin,
    TARVIX_BUILD_DIR: buildDir,
    ...extra,
  };
}

// The environment for system programs (Xvfb, ipcs): without a sanitizer
// runtime that a sanitizer run preloads into node.
function systemEnv() {
  const env = { ...process.env };
  delete env.LD_PRELOAD;
  return env;
}

module.exports = { ...paths, childEnv, systemEnv };
