#!/usr/bin/env bash
# CPU of the whole host process under Wine while in_quorvo.dll plays a
# 15-second track of the demo disc with the output consuming in real time,
# against the same host started and stopped without playing (its fixed
# start-up cost under Wine), as a table.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
report=$(mktemp)
trap 'rm -f "$report"' EXIT
DEMO_PACE=1 DEMO_CPU_REPORT="$report" bash "$root/scripts/demo.sh" "$build" >/dev/null
played=$(tail -1 "$report")
DEMO_PACE=1000 DEMO_CPU_REPORT="$report" bash "$root/scripts/demo.sh" "$build" >/dev/null
baseline=$(tail -1 "$report")
python3 - "$played" "$baseline" <<'PY'
import sys
played, base = float(sys.argv[1]), float(sys.argv[2])
audio = 15.0
print("Host process under Wine, 15 s track played at 1x (demo disc)")
print("| run | CPU s |")
print("|---|---|")
print("| played at 1x | %.2f |" % played)
print("| same run at 1000x (start-up, window, decoding only) | %.2f |" % base)
print("| difference per second of audio | %.1f ms (%.2f %% of one core) |" % ((played - base) / audio * 1000, (played - base) / audio * 100))
PY
