#!/usr/bin/env bash
# The packed tarball (scripts/pack) installed into a fresh project, its
# win32-x64 module loaded by node.exe under Wine with the stand-in runtime
# only where an NDI runtime installer puts it: in the folder named by
# NDI_RUNTIME_DIR_V6, not on PATH and not beside the module. Without the
# variable, require must fail with the hint. Run by scripts/test-windows,
# which provides the Wine prefix and node_exe.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
unset WINEPATH NDI_RUNTIME_DIR_V6 NDI_RUNTIME_DIR_V5

tarball=$(bash scripts/pack | tail -1)
[ -f "$tarball" ] || { echo "not ok - npm pack in a clean clone"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runtime="$work/NDI 6 Runtime/v6"
mkdir -p "$work/app" "$runtime"
cp "${build:-build-windows}/standin/Processing.NDI.Lib.x64.dll" "$runtime/"
cp test/windows/package_load.js "$work/app/"
(cd "$work/app" && npm init -y >/dev/null &&
  npm install --no-audit --no-fund --loglevel=error "$tarball") || exit 1

status=0
for expect in found missing; do
  # node.exe fails on a pipe under Wine: its output goes to a file.
  if [ "$expect" = found ]; then
    NDI_RUNTIME_DIR_V6="Z:$runtime" timeout 120 wine "$node_exe" "Z:$work/app/package_load.js" found \
      >"$work/$expect.out" 2>&1
  else
    timeout 120 wine "$node_exe" "Z:$work/app/package_load.js" missing >"$work/$expect.out" 2>&1
  fi
  [ $? -eq 0 ] || status=1
  tr -d '\r' <"$work/$expect.out"
done
wineserver -w
exit $status
