#!/usr/bin/env bash
# The demo: the bundled virtual disc in the virtual drive, the test host
# showing the playlist and playing one track through in_quorvo.dll under
# Wine into a WAV file, with a screenshot of its window; then the same track
# ripped securely through the plug-in's extended-read exports, as the
# player's converter does, with the rip log the plug-in writes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
track=${DEMO_TRACK:-1}
pace=${DEMO_PACE:-4}
source "$root/scripts/wine-env.sh"
cd "$root"

bash scripts/wine-prefix.sh
cmake --build "$build/native" --target demo_disc >/dev/null

# A folder of its own: the host finds in_quorvo.dll, winamp.ini, the virtual
# drive's library and vdrive.ini beside itself, and the test folders stay
# untouched. winamp.ini is the plug-in's default, as on a user's Windows 10:
# drive D: is reached over the pass-through.
demo="$root/$build/demo"
out="$demo/out"
mkdir -p "$demo" "$out"
rm -f "$out"/*
for f in quorvo_host.exe in_quorvo.dll wnaspi32.dll; do cp "$build/win64/$f" "$demo/"; done
cp "$build/native/discs/demo."* "$demo/"
printf '[0:0:0]\r\nletter=D\r\ncue=demo.cue\r\nvendor=QUORVO\r\nproduct=DEMO CD-ROM\r\n' >"$demo/vdrive.ini"
printf '[QZ_CDDAPLAYER]\r\n' >"$demo/winamp.ini"

# Our own X server, detached from our descriptors.
start_xvfb 130 1024x600x24 "$out/xvfb.log"
host_pid=""
cleanup() {
  [[ -n $host_pid ]] && kill "$host_pid" 2>/dev/null || true
  stop_wine_and_xvfb
}
trap cleanup EXIT
"$WINESERVER" -p 30 </dev/null >/dev/null 2>&1 9>&- || true

export QUORVO_SHOW_HOST=1
log="$out/host.log"
# DEMO_CPU_REPORT=file records the host process's CPU seconds (benchmarks).
launcher=()
[[ -n ${DEMO_CPU_REPORT:-} ]] && launcher=(python3 "$root/scripts/cpu_of.py" "$DEMO_CPU_REPORT" --)
(cd "$demo" && exec "${launcher[@]}" "$WINE64" quorvo_host.exe --demo "$track" "$pace") </dev/null >"$log" 2>&1 9>&- &
host_pid=$!

# The screenshot once the track has been playing for a moment.
shot=""
for _ in $(seq 600); do
  if grep -q "^demo: playing" "$log" 2>/dev/null; then
    sleep 1.5
    import -window root "$out/screenshot.png" 2>/dev/null && shot="$out/screenshot.png"
    break
  fi
  kill -0 "$host_pid" 2>/dev/null || break
  sleep 0.1
done
status=0
wait "$host_pid" || status=$?
host_pid=""
tr -d '\r' <"$log" | grep -a '^demo:' || true
if ((status != 0)); then
  echo "demo failed (exit $status); the host's output is in $log" >&2
  exit "$status"
fi
mv "$demo/demo.wav" "$out/demo.wav"

# Secure mode is the plug-in's default; say it anyway, the demo is about it.
sed -i 's/^\[QZ_CDDAPLAYER\]\r$/&\nRip_Secure=true\r/' "$demo/winamp.ini"
rm -rf "$demo/rip logs"
rip_out="$out/rip-host.log"
status=0
# The rip is verified against the fixture AccurateRip server holding the demo
# disc's file, made from whipper's sums of the image (the drive's offset, 0,
# is found from it too).
bash tests/cddb_server/with_servers.sh bash -c '
  /usr/bin/python3 tests/cddb_server/make_dbar.py "$1/demo.cue" "$QUORVO_AR_DIR" 12:v2 5:v1 >/dev/null || exit
  sed -i -e "/^AccurateRip_Server=/d" \
    -e "s|^\[QZ_CDDAPLAYER\]\r\$|&\nAccurateRip_Server=http://127.0.0.1:$QUORVO_CDDB_PORT\r|" "$1/winamp.ini"
  cd "$1" && exec "$2" quorvo_host.exe --rip "cda://D,$3" rip.wav' _ "$demo" "$WINE64" "$track" \
  </dev/null >"$rip_out" 2>&1 9>&- || status=$?
tr -d '\r' <"$rip_out" | grep -a '^rip:' || true
if ((status != 0)); then
  echo "the rip failed (exit $status); the host's output is in $rip_out" >&2
  exit "$status"
fi
mv "$demo/rip.wav" "$out/rip.wav"
rip_log=$(ls -t "$demo/rip logs"/* 2>/dev/null | head -1 || true)
[[ -n $rip_log ]] && tr -d '\r' <"$rip_log" | grep -a '読み取りオフセット\|AccurateRip' || true
echo
echo "WAV:        $out/demo.wav"
[[ -n $shot ]] && echo "Screenshot: $shot"
echo "Ripped WAV: $out/rip.wav"
echo "Rip log:    ${rip_log:-(none in $demo/rip logs)}"
