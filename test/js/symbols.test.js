'use strict';

// The built module's surface: its dynamic symbols (its exports are checked
// where workers load it) and run-time search path. It takes
// every Node-API function from its host at registration, and finds the NDI
// runtime through the loader's ordinary search, never through a path of this
// build.
const test = require('node:test');
const assert = require('node:assert');
const { execFileSync } = require('node:child_process');
const path = require('node:path');

const modulePath = path.join(__dirname, '..', '..', 'build', 'Release', 'tarvix_ndi_addon.node');

function tool(name, args) {
  return execFileSync(name, args, { encoding: 'utf8' });
}

function symbolNames(listing) {
  return listing
    .split('\n')
    .map((line) => line.trim().split(/\s+/).pop())
    .filter(Boolean);
}

test('the module leaves no Node-API symbol to the loader', () => {
  const undefinedSymbols = symbolNames(tool('nm', ['-D', '--undefined-only', modulePath]));
  assert.ok(undefinedSymbols.length > 0, 'nm listed nothing: is this the module?');
  assert.deepStrictEqual(
    undefinedSymbols.filter((name) => /napi_|node_api_/.test(name)),
    [],
  );
});

test('the module exports its entry point and nothing else', () => {
  assert.deepStrictEqual(symbolNames(tool('nm', ['-D', '--defined-only', modulePath])), [
    'napi_register_module_v1',
  ]);
});

test('no run-time search path points into the build', () => {
  const dynamic = tool('readelf', ['-d', modulePath]);
  const paths = dynamic.split('\n').filter((line) => /\((RUNPATH|RPATH)\)/.test(line));
  assert.deepStrictEqual(paths, []);
});
