'use strict';
// The built module's surface: it takes every Node-API function from its host
// at registration, exports its entry point alone, and finds the NDI runtime
// through the loader's ordinary search, never through a path of this build.
const test = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const { addon } = require('../stress/build_paths');

const tool = (name, ...args) => execFileSync(name, [...args, addon], { encoding: 'utf8' });
const symbols = (which) => tool('nm', '-D', which).split('\n').map((l) => l.trim().split(/\s+/).pop())
  .filter(Boolean);

test('the module imports no Node-API symbol, exports only its entry point, and has no run path', () => {
  const imported = symbols('--undefined-only');
  assert.ok(imported.length > 0, 'nm listed nothing: is this the module?');
  assert.deepEqual(imported.filter((name) => /napi_|node_api_/.test(name)), []);
  assert.deepEqual(symbols('--defined-only'), ['napi_register_module_v1']);
  assert.doesNotMatch(tool('readelf', '-d'), /\((RUNPATH|RPATH)\)/);
});
