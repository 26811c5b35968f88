#!/usr/bin/env bash
# The package as a user gets it: the tarball packed from a clean clone
# (scripts/pack) installed into a fresh project outside the repository with a
# PATH that holds node and npm and no compiler, make or cmake; then the module
# is imported and required and publishes a real X11 window through the
# stand-in runtime, and the typed signatures compile in that project. Also
# shows what the Linux module needs from the system. Exits non-zero on any
# failure.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"

failed=0
check() {  # check NAME COMMAND...
  local name=$1
  shift
  if "$@"; then echo "ok - $name"; else echo "not ok - $name"; failed=1; fi
}

tarball=$(bash scripts/pack | tail -1)
[ -f "$tarball" ] || { echo "not ok - npm pack in a clean clone"; exit 1; }
echo "ok - npm pack in a clean clone: $(basename "$tarball")"
[ -f build/standin/libndi.so.6 ] && [ -x build/test/tarvix_test_window ] || bash scripts/setup || exit 1

contents=$(tar tzf "$tarball" | sort)
allowed='^package/(package\.json|README\.md|index\.(js|mjs|d\.ts)|prebuilds/(linux|win32)-x64/tarvix_ndi_addon\.node)$'
check "the tarball holds the package files and both prebuilt modules, nothing else" \
  test "$(grep -Evc "$allowed" <<<"$contents")" -eq 0 -a "$(grep -c prebuilds/ <<<"$contents")" -eq 2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/app" "$work/runtime" "$work/sources"
ln -s "$(command -v node)" "$work/bin/node"
ln -s "$(readlink -f "$(command -v npm)")" "$work/bin/npm"
cp build/standin/libndi.so.6 "$work/runtime/"
cp test/package/publish_window.mjs test/package/types.mts test/package/types.cts "$work/app/"
user() { env -i HOME="$work" PATH="$work/bin" DISPLAY="${DISPLAY:-}" "$@"; }

for tool in cc gcc g++ make cmake; do
  (PATH=$work/bin; command -v "$tool" >/dev/null) && { echo "not ok - $tool on the user's PATH"; failed=1; }
done
(cd "$work/app" && user npm init -y >/dev/null &&
  user npm install --no-audit --no-fund --loglevel=error "$tarball" typescript@5.6.3 @types/node@20.17.6)
check "npm install of the tarball, with no compiler on PATH" test $? -eq 0
installed=$work/app/node_modules/tarvix-ndi-addon
check "nothing was built at install" test ! -e "$installed/build"

module=$installed/prebuilds/linux-x64/tarvix_ndi_addon.node
needed=$(readelf -d "$module" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
echo "  NEEDED: $(echo $needed)"
echo "  newest glibc symbol version: $(objdump -T "$module" | grep -o 'GLIBC_[0-9.]*' | sort -Vu | tail -1)"
check "the Linux module needs only libndi.so.6, libxcb*, libc, libm and the loader" \
  test -z "$(grep -Ev '^(libndi\.so\.6|libxcb[a-z-]*\.so\.[0-9]+|libc\.so\.6|libm\.so\.6|ld-linux-x86-64\.so\.2)$' <<<"$needed")"

# The window program is the repository's; the script that drives it is the user's.
run() {
  cd "$work/app" &&
    timeout 120 env -i HOME="$work" PATH="$work/bin" DISPLAY="$DISPLAY" \
      LD_LIBRARY_PATH="$work/runtime" TARVIX_NDI_STANDIN_DIR="$work/sources" \
      node publish_window.mjs "$root/build/test/tarvix_test_window"
}
export work root
export -f run
check "imported and required in that project, it publishes a window with frames arriving" \
  scripts/with-xvfb bash -c run

tsc() { (cd "$work/app" && user node node_modules/typescript/bin/tsc --noEmit --strict --types node "$@"); }
check "index.d.ts type-checks from CommonJS and ES modules (nodenext)" \
  tsc --module nodenext --moduleResolution nodenext types.mts types.cts
check "index.d.ts type-checks in a CommonJS project (node10 resolution)" \
  tsc --module commonjs --moduleResolution node10 --esModuleInterop types.cts

exit $failed
