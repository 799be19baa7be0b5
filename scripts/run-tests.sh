#!/usr/bin/env bash
# Runs every test tier once: native unit tests (sanitizers), the win32 DLL
# checks, and the win64 unit and integration tests under wine64 + Xvfb.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
source "$root/scripts/wine-env.sh"
cd "$root"

bash scripts/wine-prefix.sh

start_xvfb 90 1280x1024x24 "$build/xvfb.log"
trap stop_wine_and_xvfb EXIT

# Keep one wineserver alive for the whole run: each program then starts in
# about a second instead of re-spawning it.
# Wine's background services start with the first program; start them here,
# detached from our output, or they would hold ctest's pipe open forever.
"$WINESERVER" -p 60 </dev/null >/dev/null 2>&1 9>&- || true
"$WINE64" wineboot </dev/null >/dev/null 2>&1 9>&- || true

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build/all" --output-on-failure -j "${JOBS:-$(nproc)}"
status=$?

# The Windows tests save their window pictures as BMP; keep PNGs.
for bmp in "$build"/screenshots/*.bmp; do
  [[ -e $bmp ]] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
exit $status
