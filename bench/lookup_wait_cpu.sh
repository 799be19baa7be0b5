#!/usr/bin/env bash
# CPU of the whole host process under Wine while a background CDDB lookup's
# status window waits (auto-close off, so it waits until Quit): the test host
# asks one title with CDDB first (the server refuses at once, the window then
# waits) and with the default title first (no lookup), then runs its message
# loop for 3 s and for 13 s. The difference between the two lengths, over
# 10 s, is the cost of one second, free of start-up; the run without a
# lookup is the floor. OLD_DLL=<path to another in_quorvo.dll> adds its
# row. Prints its section of docs/BENCHMARKS.md.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cd "$root"
source "$root/bench/common/wine_rig.sh"
trap rig_stop EXIT
rig_start 140
rounds=3

# One run: the plug-in, the title source asked first, the loop's length.
run() {
  rig_folder "$1" "$(printf 'Aspi=true\r\nAspiDevMap_D=0:0:0\r\nTitlePriority0=%s\r\nCDDB_URL=http://127.0.0.1:1/~cddb/cddb.cgi\r\nCDDB_DialogAutoClose=false\r\n' "$2")"
  rig_cpu --title-query "$3"
}

rows=()
for dll in "$build_dir/win64/in_quorvo.dll" ${OLD_DLL:+"$OLD_DLL"}; do
  w3=() w13=() i3=() i13=()
  for _ in $(seq $rounds); do
    w3+=("$(run "$dll" CDDB 3000)")
    w13+=("$(run "$dll" CDDB 13000)")
    i3+=("$(run "$dll" default 3000)")
    i13+=("$(run "$dll" default 13000)")
  done
  name="this build"
  [[ $dll == "${OLD_DLL:-}" ]] && name="OLD_DLL ($(basename "$(dirname "$dll")")/$(basename "$dll"))"
  rows+=("$name|${w3[*]}|${w13[*]}|${i3[*]}|${i13[*]}")
done

python3 - "$rounds" "${rows[@]}" <<'PY'
import statistics, sys
rounds = int(sys.argv[1])
print("## The status window's wait (`bench/lookup_wait_cpu.sh`)\n")
print("While a background lookup's status window stays on screen (the 3 s auto-close delay, or until the user "
      "closes it), its thread waits for messages. The test host under wine64 asks one title with CDDB first (the "
      "server refuses at once, so the window then waits; auto-close off, so it waits until Quit) and runs its "
      "message loop for 3 s and for 13 s; CPU of the whole host process, median of %d runs each. The difference "
      "between the two lengths over 10 s is the cost of one second, without the start-up or the window's "
      "creation. Floor: the same host asking the same title with the default title first (no lookup, no window), "
      "an idle host. `OLD_DLL=` adds the plug-in of another build.\n" % rounds)
print("| plug-in | waiting: CPU s over 3 s / 13 s | CPU ms per s | floor: no lookup, CPU s over 3 s / 13 s | floor: CPU ms per s | the wait's share per s |")
print("|---|---|---|---|---|---|")
for row in sys.argv[2:]:
    name, *runs = row.split("|")
    w3, w13, i3, i13 = (statistics.median(map(float, r.split())) for r in runs)
    wait, idle = (w13 - w3) / 10.0, (i13 - i3) / 10.0
    print("| %s | %.2f / %.2f | %.1f | %.2f / %.2f | %.1f | %.1f ms (%.2f %% of one core) |"
          % (name, w3, w13, wait * 1000, i3, i13, idle * 1000, (wait - idle) * 1000, (wait - idle) * 100))
print()
print("The wait sleeps in `MsgWaitForMultipleObjectsEx` until a message arrives or the deadline passes, so its "
      "cost is that of the messages it receives, which is to say that of an idle host; a share within a few "
      "milliseconds of zero, either side, is the noise of the shared machine. A loop that looked at the queue and "
      "yielded the rest of its time slice instead would cost a large part of a core.\n")
PY
