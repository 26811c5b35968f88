#!/usr/bin/env bash
# The packed tarball (scripts/pack) installed into a fresh project; node.exe
# under Wine loads its win32-x64 module with the stand-in runtime only where
# the runtime installer puts it: in the folder NDI_RUNTIME_DIR_V6 names, not
# on PATH or beside the module. Unset, require fails with the hint. Run by
# scripts/test-windows, which provides the Wine prefix and node_exe.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
unset WINEPATH NDI_RUNTIME_DIR_V6 NDI_RUNTIME_DIR_V5
tarball=$(bash scripts/pack | tail -1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runtime="$work/NDI 6 Runtime/v6"
mkdir -p "$work/app" "$runtime"
cp "${build:-build-windows}/standin/Processing.NDI.Lib.x64.dll" "$runtime/"
cp test/windows/package_load.js "$work/app/"
(cd "$work/app" && npm init -y >/dev/null && npm install --no-audit --no-fund -s "$tarball") || exit 1
# node.exe fails on a pipe under Wine: its output goes to a file.
NDI_RUNTIME_DIR_V6="Z:$runtime" timeout 120 wine "$node_exe" "Z:$work/app/package_load.js" found \
  >"$work/found.out" 2>&1
found=$?
timeout 120 wine "$node_exe" "Z:$work/app/package_load.js" missing >"$work/missing.out" 2>&1
missing=$?
wineserver -w
tr -d '\r' <"$work/found.out"; tr -d '\r' <"$work/missing.out"
[ "$found" -eq 0 ] && [ "$missing" -eq 0 ]
