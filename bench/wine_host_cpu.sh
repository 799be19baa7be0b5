#!/usr/bin/env bash
# CPU of the whole host process under Wine while in_quorvo.dll plays a track
# of the demo disc with the output consuming in real time, against the same
# host with the same window and loop for the same time, not playing. Prints
# its section of docs/BENCHMARKS.md.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cd "$root"
source "$root/bench/common/wine_rig.sh"
trap rig_stop EXIT
rig_start 130
rounds=3

# As a user's Windows 10 has it: the plug-in's defaults, drive D: over the
# pass-through; the host shows its window as in the demo.
export QUORVO_SHOW_HOST=1
rig_folder "$build_dir/win64/in_quorvo.dll" ''
played=() idle=()
for _ in $(seq $rounds); do
  played+=("$(rig_cpu --demo 1 1)")
  pcm=$(tr -d '\r' <"$rig_work/host.log" | grep -a -o 'wrote [0-9]* bytes of PCM' | grep -o '[0-9]*' || true)
  idle+=("$(rig_cpu --demo 1 0)")
done
[[ -n $pcm ]] || { echo "the host wrote no PCM" >&2; exit 1; }

python3 - "$pcm" "$rounds" "${played[*]}" "${idle[*]}" <<'PY'
import statistics, sys
pcm, rounds = int(sys.argv[1]), int(sys.argv[2])
played = statistics.median(map(float, sys.argv[3].split()))
idle = statistics.median(map(float, sys.argv[4].split()))
audio = pcm / 176400.0
extra = (played - idle) / audio
print("## The whole host under Wine (`bench/wine_host_cpu.sh`)\n")
print("The test host (`quorvo_host.exe --demo`, a stand-in for Winamp) runs under wine64 with its window on Xvfb and "
      "plays track 1 of the demo disc (%.1f s) through `in_quorvo.dll` over the pass-through, the recording output "
      "consuming in real time. CPU is that of the whole host process (user and system, as the kernel counts it for "
      "the Wine process and what it waited for; the wine server is not included). Floor: the same host with the same "
      "window, playlist and loop, running for the track's length without playing. Median of %d runs each.\n" % (audio, rounds))
print("| run | CPU s | floor: the same host not playing, CPU s | x floor | playback's share per second of audio |")
print("|---|---|---|---|---|")
print("| track 1 at 1x (%.1f s) | %.2f | %.2f | %.2f | %.1f ms (%.2f %% of one core) |"
      % (audio, played, idle, played / idle if idle > 0 else float("nan"), extra * 1000, extra * 100))
print()
print("The share includes, besides the plug-in's own threads (the native figure of the playback section), what the "
      "host does only while playing: the recording output's clock, the logging of every visualisation call, and "
      "Wine's cost for each of the engine's short sleeps and waits.\n")
PY
