'use strict';

const path = require('path');

const modulePath = path.join(__dirname, 'build', 'Release', 'tarvix_ndi_addon.node');

function load() {
  try {
    return require(modulePath);
  } catch (error) {
    // The module links against the NDI runtime by name; say where to find it
    // instead of leaving the reader with a bare loader message.
    // The Windows loader does not name the missing DLL, only that a module
    // was not found; the addon's only dependency outside the system is the runtime.
    const missing = /libndi\.so\.6|Processing\.NDI\.Lib/.test(String(error && error.message)) ||
      (process.platform === 'win32' && error && error.code === 'ERR_DLOPEN_FAILED' &&
        /module could not be found|Module not found/i.test(String(error.message)));
    if (missing) {
      error.message +=
        '\nThe NDI runtime library was not found. Install the NDI runtime, or put the ' +
        "stand-in runtime on the loader's path (" +
        (process.platform === 'win32' ? 'PATH=' : 'LD_LIBRARY_PATH=') +
        path.join(__dirname, 'build', 'standin') + ').';
    }
    throw error;
  }
}

module.exports = load();
