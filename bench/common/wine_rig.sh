# Sourced by the benchmarks that run the test host under Wine (with root
# and build set). A Wine prefix of the benchmarks' own under build/ (made
# with the project's set-up when missing), so that its `wineserver -k`
# never ends a test run's programs; our own Xvfb; one wine server kept up
# for the whole benchmark and a warm start, so that no measured run pays for
# Wine's first start.
case $build in
  /*) build_dir=$build ;;
  *) build_dir=$root/$build ;;
esac
export WINEPREFIX="${WINEPREFIX:-$build_dir/bench/wineprefix}"
source "$root/scripts/wine-env.sh"
xvfb_pid=""
rig_work=""

rig_stop() {
  stop_wine_and_xvfb
  [[ -n $rig_work ]] && rm -rf "$rig_work"
  return 0
}

# rig_start FIRST_DISPLAY: sets rig_work (a scratch folder, removed by rig_stop).
rig_start() {
  local f
  for f in quorvo_host.exe in_quorvo.dll wnaspi32.dll; do
    if [[ ! -f $build_dir/win64/$f ]]; then
      echo "$build_dir/win64/$f is missing: run make build first" >&2
      return 1
    fi
  done
  mkdir -p "$build_dir/bench"
  rig_work=$(mktemp -d "$build_dir/bench/wine_run.XXXXXX")
  bash "$root/scripts/wine-prefix.sh"
  cmake --build "$build_dir/native" --target demo_disc >/dev/null
  start_xvfb "$1" 1024x600x24 "$rig_work/xvfb.log"
  if [[ -z $DISPLAY ]] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "Xvfb did not start:" >&2
    cat "$rig_work/xvfb.log" >&2
    return 1
  fi
  "$WINESERVER" -p </dev/null >/dev/null 2>&1 9>&- || true
  "$WINE64" wineboot </dev/null >/dev/null 2>&1 9>&- || true
}

# rig_folder DLL WINAMP_INI_BODY: a fresh folder $rig_work/run with the
# host, the plug-in, the virtual drive's library with the demo disc in D:
# and winamp.ini (section QZ_CDDAPLAYER with the given lines, CR LF).
rig_folder() {
  local dir=$rig_work/run
  rm -rf "$dir" && mkdir -p "$dir"
  cp "$build_dir/win64/quorvo_host.exe" "$build_dir/win64/wnaspi32.dll" "$build_dir/native/discs/demo."* "$dir/"
  cp "$1" "$dir/in_quorvo.dll"
  printf '[0:0:0]\r\nletter=D\r\ncue=demo.cue\r\n' >"$dir/vdrive.ini"
  printf '[QZ_CDDAPLAYER]\r\n%s' "$2" >"$dir/winamp.ini"
}

# rig_cpu ARGS...: runs the host in the folder with ARGS and prints the CPU
# seconds of its whole process; its output is in $rig_work/host.log.
rig_cpu() {
  local report=$rig_work/cpu
  if ! (cd "$rig_work/run" && python3 "$root/scripts/cpu_of.py" "$report" -- "$WINE64" quorvo_host.exe "$@") \
    </dev/null >"$rig_work/host.log" 2>&1 9>&-; then
    echo "the host failed: quorvo_host.exe $*" >&2
    tr -d '\r' <"$rig_work/host.log" | iconv -f CP932 -t UTF-8 -c >&2 || true
    return 1
  fi
  tail -1 "$report"
}
