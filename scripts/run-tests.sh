#!/usr/bin/env bash
# Runs every test tier once: native unit tests (sanitizers), the win32 DLL
# checks, the win64 unit and integration tests under wine64 + Xvfb, and the
# same programs built for i686 in 32-bit Wine (the i686 tier).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
source "$root/scripts/wine-env.sh"
cd "$root"

bash scripts/wine-prefix.sh

# The i686 tier (the product DLLs in a 32-bit process) when this machine can
# host it; otherwise its tests report a skip and we say why here.
i686_started=$(date +%s)
i686_reason=$(bash scripts/i686-setup.sh 9>&-)
i686_status=$?
case $i686_status in
  0) echo "i686 tier: ready after $(( $(date +%s) - i686_started )) s of setup"
     [[ -n $i686_reason ]] && echo "$i686_reason"
     bash scripts/i686-session.sh start ;;
  3) echo "i686 tier skipped: $i686_reason" ;;
  *) echo "i686 tier: setup failed (its tests will fail): $i686_reason" ;;
esac

QUORVO_WINE_LOCALE=en_US bash scripts/wine-prefix.sh

start_xvfb 90 1280x1024x24 "$build/xvfb.log"
stop_all() {
  stop_wine_and_xvfb
  (QUORVO_WINE_LOCALE=en_US; source scripts/wine-env.sh; "$WINESERVER" -k >/dev/null 2>&1) || true
  ((i686_status == 0)) && bash scripts/i686-session.sh stop
}
trap stop_all EXIT

# Keep one wineserver alive for the whole run: each program then starts in
# about a second instead of re-spawning it.
# Wine's background services start with the first program; start them here,
# detached from our output, or they would hold ctest's pipe open forever.
"$WINESERVER" -p 60 </dev/null >/dev/null 2>&1 9>&- || true
"$WINE64" wineboot </dev/null >/dev/null 2>&1 9>&- || true
(QUORVO_WINE_LOCALE=en_US; source scripts/wine-env.sh
 "$WINESERVER" -p 60 </dev/null >/dev/null 2>&1 9>&- || true
 "$WINE64" wineboot </dev/null >/dev/null 2>&1 9>&- || true)

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
