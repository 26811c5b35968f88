#!/usr/bin/env bash
# The package as a user gets it: the tarball packed from a clean clone
# (scripts/pack), installed into a fresh project outside the repository with
# only node and npm on PATH (no compiler, make or cmake), imported, required
# and publishing a real X11 window through the stand-in runtime; its types
# compiled there. Prints what the Linux module needs from the system.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
failed=0
check() {  # check NAME COMMAND...
  if "${@:2}"; then echo "ok - $1"; else echo "not ok - $1"; failed=1; fi
}

tarball=$(bash scripts/pack | tail -1)
[ -f build/standin/libndi.so.6 ] && [ -x build/test/tarvix_test_window ] || bash scripts/setup || exit 1
extra=$(tar tzf "$tarball" | grep -Evx 'package/(package\.json|README\.md|index\.(js|mjs|d\.ts))' |
  grep -Evx 'package/prebuilds/(linux|win32)-x64/tarvix_ndi_addon\.node')
check "the tarball holds the package files and both prebuilt modules only" \
  test "$(tar tzf "$tarball" | grep -c prebuilds/)" -eq 2 -a -z "$extra"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/app" "$work/runtime" "$work/sources"
ln -s "$(command -v node)" "$work/bin/node"
ln -s "$(readlink -f "$(command -v npm)")" "$work/bin/npm"
cp build/standin/libndi.so.6 "$work/runtime/"
cp test/package/publish_window.mjs test/package/types.* "$work/app/"
user() {
  (cd "$work/app" && timeout 300 env -i HOME="$work" PATH="$work/bin" DISPLAY="${DISPLAY:-}" \
    LD_LIBRARY_PATH="$work/runtime" TARVIX_NDI_STANDIN_DIR="$work/sources" "$@")
}
export work
export -f user

user npm init -y >/dev/null
check "npm install of the tarball builds nothing" user npm install --no-audit --no-fund -s \
  "$tarball" typescript@5.6.3 @types/node@20.17.6
check "nothing was built at install" test ! -e "$work/app/node_modules/tarvix-ndi-addon/build"

module=$work/app/node_modules/tarvix-ndi-addon/prebuilds/linux-x64/tarvix_ndi_addon.node
needed=$(readelf -d "$module" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
echo "  NEEDED: $(echo $needed)"
glibc=$(objdump -T "$module" | grep -o 'GLIBC_[0-9.]*' | sort -Vu | tail -1)
echo "  newest glibc symbol version: $glibc"
check "the Linux module loads on glibc 2.35 (the README's floor)" \
  test "$(printf '%s\n' "$glibc" GLIBC_2.35 | sort -V | tail -1)" = GLIBC_2.35
# libXau is libxcb's own dependency: wherever libxcb is, it is too.
check "the Linux module needs only libndi.so.6, libxcb* (and its libXau), libc, libm and the loader" \
  test -z "$(grep -Evx 'libndi\.so\.6|libxcb[a-z-]*\.so\.[0-9]+|libXau\.so\.6|lib[cm]\.so\.6|ld-linux-x86-64\.so\.2' <<<"$needed")"

check "imported and required there, it publishes a window with frames arriving" scripts/with-xvfb \
  bash -c "user node publish_window.mjs '$root/build/test/tarvix_test_window'"
tsc() { user node node_modules/typescript/bin/tsc --noEmit --strict --types node "$@"; }
check "index.d.ts type-checks from ES modules and CommonJS (nodenext)" \
  tsc --module nodenext --moduleResolution nodenext types.mts types.cts
check "index.d.ts type-checks in a CommonJS project (node10)" \
  tsc --module commonjs --moduleResolution node10 types.cts
exit $failed
