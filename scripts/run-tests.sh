#!/usr/bin/env bash
# Runs every test tier once: native unit tests (sanitizers), the win32 DLL
# checks, and the win64 unit and integration tests under wine64 + Xvfb.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
source "$root/scripts/wine-env.sh"
cd "$root"

bash scripts/wine-prefix.sh

# Our own X server, started with no inherited descriptors so that it can
# never hold ctest's output pipe open.
display=""
for n in $(seq 90 120); do
  [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
  display=":$n"; break
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$build/xvfb.log" 2>&1 9>&- &
xvfb_pid=$!
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.1; done

# Keep one wineserver alive for the whole run: each program then starts in
# about a second instead of re-spawning it.
# Wine's background services start with the first program; start them here,
# detached from our output, or they would hold ctest's pipe open forever.
"$WINESERVER" -p 60 </dev/null >/dev/null 2>&1 9>&- || true
"$WINE64" wineboot </dev/null >/dev/null 2>&1 9>&- || true

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build/all" --output-on-failure -j "${JOBS:-$(nproc)}"
