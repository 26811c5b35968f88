'use strict';

const fs = require('fs');
const path = require('path');

const fileName = 'tarvix_ndi_addon.node';
const platform = `${process.platform}-${process.arch}`;

// The prebuilt module the package ships for this platform, else a local
// build; TARVIX_ADDON names a module file to load instead (the test runner
// uses it so that a stale prebuilds/ folder cannot hide the build under test).
function modulePath() {
  if (process.env.TARVIX_ADDON) return process.env.TARVIX_ADDON;
  const candidates = [
    path.join(__dirname, 'prebuilds', platform, fileName),
    path.join(__dirname, 'build', 'Release', fileName),
  ];
  const found = candidates.find((file) => fs.existsSync(file));
  if (!found) {
    throw new Error(`tarvix-ndi-addon has no module for ${platform}: prebuilt modules exist for ` +
      'linux-x64 and win32-x64; elsewhere build it from a checkout of the repository ' +
      '(npm run build).');
  }
  return found;
}

// The NDI runtime installers name their folder in these variables instead of
// putting it on PATH. Node loads the module with the altered search path, so
// the folders are searched for its dependencies when they are on PATH then.
function withRuntimeFolders(load) {
  const folders = ['NDI_RUNTIME_DIR_V6', 'NDI_RUNTIME_DIR_V5']
    .map((name) => process.env[name]).filter(Boolean);
  if (process.platform !== 'win32' || folders.length === 0) return load();
  const saved = process.env.PATH;
  process.env.PATH = [...folders, saved].filter(Boolean).join(path.delimiter);
  try {
    return load();
  } finally {
    // The runtime is loaded by now; child processes get the PATH they had.
    if (saved === undefined) delete process.env.PATH;
    else process.env.PATH = saved;
  }
}

function runtimeHint() {
  const standin = [path.join(__dirname, 'build', 'standin'),
    path.join(__dirname, 'build-windows', 'standin')].find((dir) => fs.existsSync(dir));
  if (process.platform === 'win32') {
    const named = process.env.NDI_RUNTIME_DIR_V6;
    return '\nThe NDI runtime (Processing.NDI.Lib.x64.dll) was not found. Install the NDI 6 ' +
      'runtime (https://ndi.link/NDIRedistV6): its installer names its folder in ' +
      'NDI_RUNTIME_DIR_V6, which is searched when the module loads, then ' +
      'NDI_RUNTIME_DIR_V5 and PATH' +
      (named ? ` (NDI_RUNTIME_DIR_V6 is set to ${named}, which lacks the DLL).` : '.') +
      (standin ? ` In this checkout the stand-in runtime is in ${standin}.` : '');
  }
  return '\nThe NDI runtime library libndi.so.6 was not found. Install it on the loader\'s ' +
    'path (for example copy it to /usr/local/lib and run ldconfig) or add its folder to ' +
    'LD_LIBRARY_PATH' +
    (standin ? `; in this checkout the stand-in runtime is in ${standin}.` : '.');
}

function load() {
  const file = modulePath();
  try {
    return withRuntimeFolders(() => require(file));
  } catch (error) {
    // The Windows loader does not name the missing DLL, only that a module
    // was not found; the addon's only dependency outside the system is the runtime.
    const missing = /libndi\.so\.6|Processing\.NDI\.Lib/.test(String(error && error.message)) ||
      (process.platform === 'win32' && error && error.code === 'ERR_DLOPEN_FAILED' &&
        /module could not be found|Module not found/i.test(String(error.message)));
    if (missing) error.message += runtimeHint();
    throw error;
  }
}

module.exports = load();
