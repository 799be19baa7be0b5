#!/usr/bin/env bash
# CPU of the whole host process under Wine while a background CDDB lookup's
# status window waits (auto-close off, so it waits until Quit): the test host
# asks one title with CDDB first (the server refuses at once, the window then
# waits) and with the default title first (no lookup), then runs its message
# loop for 3 s and for 13 s. The difference of the differences, over 10 s, is
# the cost of one second of waiting, free of start-up and of the host's own
# loop. OLD_DLL=<path to another in_quorvo.dll> adds its figure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
source "$root/scripts/wine-env.sh"
cd "$root"
bash scripts/wine-prefix.sh
cmake --build "$build/native" --target demo_disc >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvo_lookup_cpu.XXXXXX")
report="$work/cpu"
start_xvfb 140 1024x600x24 "$work/xvfb.log"
trap 'stop_wine_and_xvfb; rm -rf "$work"' EXIT
"$WINESERVER" -p 30 </dev/null >/dev/null 2>&1 9>&- || true

# One run in a folder of its own: the host, a plug-in, the virtual drive with
# the demo disc in D:, and winamp.ini with the given priority.
run() {
  local dll=$1 first=$2 ms=$3 dir="$work/run"
  rm -rf "$dir" && mkdir -p "$dir"
  cp "$build/win64/quorvo_host.exe" "$build/win64/wnaspi32.dll" "$build/native/discs/demo."* "$dir/"
  cp "$dll" "$dir/in_quorvo.dll"
  printf '[0:0:0]\r\nletter=D\r\ncue=demo.cue\r\n' >"$dir/vdrive.ini"
  printf '[QZ_CDDAPLAYER]\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\nTitlePriority0=%s\r\nCDDB_URL=http://127.0.0.1:1/~cddb/cddb.cgi\r\nCDDB_DialogAutoClose=false\r\n' \
    "$first" >"$dir/winamp.ini"
  (cd "$dir" && python3 "$root/scripts/cpu_of.py" "$report" -- "$WINE64" quorvo_host.exe --title-query "$ms") \
    </dev/null >/dev/null 2>&1 9>&-
  tail -1 "$report"
}

rows=()
for dll in "$build/win64/in_quorvo.dll" ${OLD_DLL:+"$OLD_DLL"}; do
  rows+=("$dll $(run "$dll" CDDB 3000) $(run "$dll" CDDB 13000) \
$(run "$dll" default 3000) $(run "$dll" default 13000)")
done
python3 - "${rows[@]}" <<'PY'
import sys
print("Host process under Wine: one title query, then the host's message loop for 3 s and 13 s (CPU s)")
print("| plug-in | lookup window waiting, 3 s | 13 s | no lookup, 3 s | 13 s | one second of waiting |")
print("|---|---|---|---|---|---|")
for row in sys.argv[1:]:
    name, w3, w13, i3, i13 = row.split()
    w3, w13, i3, i13 = map(float, (w3, w13, i3, i13))
    extra = ((w13 - w3) - (i13 - i3)) / 10.0
    print("| %s | %.2f | %.2f | %.2f | %.2f | %.1f ms (%.2f %% of one core) |" % (name, w3, w13, i3, i13, extra * 1000, extra * 100))
PY
