#!/usr/bin/env bash
# The module's NDI calls served by the real NDI 3.5 runtime (through the test
# shim) and received by a real receiver on loopback. Fetches the runtime and
# its public headers into the cache (they never enter the repository), builds
# the shim and the programs, then, under Wine in a prefix of its own with the capture-service
# doubles, inside a loopback-only network namespace, runs the module in
# node.exe on a window of another process and a receiver. Every wait is
# bounded. Ends with "realruntime: N passed, N failed".
#   phase.sh MODULE NODE_EXE WORK_DIR CACHE_DIR
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
module=$(realpath "$1") node_exe=$2 work=$3 cache=$4
mingw=x86_64-w64-mingw32
shim_src=$root/test/windows/shims/ndi_runtime
doubles=$(dirname "$(dirname "$module")")/test/windows/doubles
alpha=160  # the alpha the capture doubles give every pixel

passed=0
failed=0
result() {  # result NAME STATUS [DETAIL]
  if [ "$2" -eq 0 ]; then
    passed=$((passed + 1)); echo "ok - real runtime: $1"
  else
    failed=$((failed + 1)); echo "not ok - real runtime: $1${3:+: $3}"
  fi
}
finish() {
  echo "realruntime: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

# NDI SDK 3.5.9 for Windows: the one runtime these machines can fetch.
sdk=$cache/ndi-sdk-3.5.9
if [ ! -f "$sdk/ndi_runtime_3_5.dll" ] || [ ! -f "$sdk/include/Processing.NDI.Lib.h" ]; then
  echo "real runtime: fetching the NDI 3.5.9 runtime and headers"
  download=$(mktemp -d)
  (cd "$download" && timeout 120 npm pack --silent grandiose@0.0.4 >/dev/null) &&
    tar xzf "$download"/grandiose-0.0.4.tgz -C "$download" package/include \
      package/lib/win_x64/Processing.NDI.Lib.x64.dll &&
    mkdir -p "$sdk" && rm -rf "$sdk/include" && mv "$download/package/include" "$sdk/include" &&
    mv "$download/package/lib/win_x64/Processing.NDI.Lib.x64.dll" "$sdk/ndi_runtime_3_5.dll"
  rm -rf "$download"
fi
# The shim sits under the runtime's own name next to the programs, the real
# runtime beside it under another name.
bin=$work/bin
rm -rf "$work" && mkdir -p "$bin" && cp "$sdk/ndi_runtime_3_5.dll" "$bin/"
flags=(-std=c++20 -O2 -Wall -Wextra -Wpedantic -Werror -DNDILIB_CPP_DEFAULT_CONSTRUCTORS=0
  -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0A00 -static -static-libgcc -static-libstdc++)
cxx() { nice -n 10 "$mingw-g++-posix" "${flags[@]}" "$@"; }
[ -f "$bin/ndi_runtime_3_5.dll" ] && [ -f "$sdk/include/Processing.NDI.Lib.h" ] &&
  [ -f "$doubles/CoreMessaging.dll" ] && cxx -shared -isystem "$sdk/include" -o "$bin/Processing.NDI.Lib.x64.dll" \
    "$shim_src/ndi_runtime_shim.cpp" "$shim_src/port_close_fix.cpp" "$shim_src/exports.def" &&
  cxx -isystem "$sdk/include" -I"$shim_src" -o "$bin/receiver.exe" "$here/helpers/receiver.cpp" \
    "$shim_src/port_close_fix.cpp" &&
  cxx -mwindows -o "$bin/pattern_window.exe" "$here/helpers/pattern_window.cpp" -lgdi32
result "the NDI 3.5.9 runtime is in the cache, the doubles, shim and programs are built" $?
[ "$failed" -eq 0 ] || finish

# The module in node.exe publishes the pattern window, which closes when
# the fifo's writer goes.
publish_window() {
  mkfifo "$work/window.in"
  wine pattern_window.exe "Z:$work/window.handle" "Z:$work/window.json" "$alpha" \
    <"$work/window.in" >"$work/window.out" 2>&1 &
  local window=$!
  exec 7>"$work/window.in"
  for _ in $(seq 300); do
    [ -s "$work/window.handle" ] && break
    kill -0 "$window" 2>/dev/null || break
    sleep 0.1
  done
  # The receiver asks the publisher to stop once it holds 60 frames.
  (timeout 60 wine receiver.exe 127.0.0.1:5961 "Z:$work/received.json" "Z:$work/enough" 60 16 \
    40000 >"$work/receiver.out" 2>&1; echo $? >"$work/receiver.status") &
  local receiver=$!
  WINEPATH="Z:$bin" TARVIX_ADDON="Z:$module" TARVIX_DOUBLES_ALPHA=$alpha timeout 60 \
    wine "$node_exe" "Z:$here/publish.js" "$(tr -d '\r\n' <"$work/window.handle" 2>/dev/null)" \
    "Z:$work/enough" "Z:$work/published.json" >"$work/publisher.out" 2>&1
  echo $? >"$work/publisher.status"
  wait "$receiver"
  exec 7>&-
  for _ in $(seq 100); do kill -0 "$window" 2>/dev/null || break; sleep 0.1; done
  kill "$window" 2>/dev/null
}

# Inside the namespace: lo only, so the runtime's discovery and traffic stay
# on this machine; the registry makes it use TCP at once (Wine refuses the
# second UDP bind it would try first).
run_in_namespace() {
  set -u
  ip link set lo up || return 1
  export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  cd "$bin" || return 1
  source "$root/test/windows/doubles/prefix.sh"
  timeout 150 bash -c "source '$root/test/windows/doubles/prefix.sh' &&
    doubles_prefix '$WINEPREFIX' '$doubles'" ||
    { echo "the prefix with the capture doubles could not be made"; return 1; }
  export WINEDLLOVERRIDES="$doubles_overrides"
  # reg.exe has failed once in 40 runs right after the prefix was made: retried.
  local side attempt
  for side in Receive Send; do
    for attempt in 1 2 3; do
      timeout 60 wine reg add "HKCU\\Software\\NDI\\Unicast\\$side" /v Mode /t REG_DWORD /d 0 \
        /f >"$work/reg.out" 2>&1 && break
      [ "$attempt" -eq 3 ] && { echo "reg add failed:"; cat "$work/reg.out"; return 1; }
      sleep 1
    done
  done
  # Wine's desktop picks its display when it starts: not before the X server.
  timeout 30 wineserver -w
  "$root/scripts/with-xvfb" bash -c "$(declare -f publish_window); publish_window"
  timeout 30 wineserver -k
}
export work bin here root module node_exe doubles alpha
started=$SECONDS
namespace=(unshare -n)
[ "$(id -u)" -eq 0 ] || namespace=(unshare -r -n)  # a user namespace lends the rights
"${namespace[@]}" bash -c \
  "$(declare -f publish_window run_in_namespace); run_in_namespace"
result "Wine runs in a loopback-only network namespace" $?
echo "# the run took $((SECONDS - started)) s with a fresh prefix"
for side in publisher receiver window; do
  tr -d '\r' <"$work/$side.out" 2>/dev/null | grep -v '^$' | sed "s/^/# $side: /"
done

cat "$work/window.json" "$work/published.json" >"$work/sent.json" 2>/dev/null
checks=$(node "$here/check.js" "$work/sent.json" "$work/received.json" \
  "$(cat "$work/publisher.status" 2>/dev/null)" "$(cat "$work/receiver.status" 2>/dev/null)" 2>&1)
status=$?
echo "$checks"
passed=$((passed + $(grep -c '^ok ' <<<"$checks")))
failed=$((failed + $(grep -c '^not ok ' <<<"$checks")))
[ "$status" -eq 0 ] || grep -q '^not ok ' <<<"$checks" || result "the comparison ran to its end" 1
finish
