#!/usr/bin/env bash
# The module's capture path end to end under Wine, against the doubles of the
# capture services (test/windows/doubles), in a Wine prefix of its own: the
# other Windows checks keep theirs, where the services are absent. Run by
# scripts/test-windows, which exports root, build, node_exe, module and
# window_exe. Ends with one "capture: N passed, N failed" line.
set -uo pipefail
source "$root/test/windows/doubles/prefix.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$root/$build/wine-prefix-capture" WINEDEBUG=-all
# Without a summary line, scripts/test-windows counts the phase as failed.
doubles_prefix "$WINEPREFIX" "$root/$build/test/windows/doubles" ||
  { echo "not ok - a Wine prefix with the capture-service doubles is made"; exit 1; }
export WINEDLLOVERRIDES="$doubles_overrides"

# A window of another process, in a colour whose captured pixels the checks
# know; the window closes when the fifo's writer goes.
run_phase() {
  local colour=306090
  mkfifo "$work/window.in"
  wine "$window_exe" "Z:$work/window.handle" "$colour" <"$work/window.in" >/dev/null 2>&1 &
  local window_pid=$!
  exec 7>"$work/window.in"
  for _ in $(seq 600); do
    [ -s "$work/window.handle" ] && break
    kill -0 "$window_pid" 2>/dev/null || break
    sleep 0.1
  done
  mkdir -p "$work/standin"
  TARVIX_ADDON="Z:$root/$module" TARVIX_TEST_WINDOW="$(tr -d '\r\n' <"$work/window.handle")" \
    TARVIX_NDI_STANDIN_DIR="Z:$work/standin" \
    TARVIX_DOUBLES_DIR="Z:$work" WINEPATH="Z:$root/$build/standin" \
    timeout 270 wine "$node_exe" "Z:$root/test/windows/capture.test.js" >"$work/capture.out" 2>&1
  local status=$?
  exec 7>&-
  wait "$window_pid"
  wineserver -w
  tr -d '\r' <"$work/capture.out"
  return $status
}
export work root build node_exe module window_exe
"$root/scripts/with-xvfb" bash -c "$(declare -f run_phase); run_phase"
