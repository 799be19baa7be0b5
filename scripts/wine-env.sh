# Sourced by the wine scripts: one prefix under build/, Japanese locale
# (ANSI code page 932), quiet output. QUORVO_WINE_LOCALE=en_US selects a
# second prefix whose ANSI code page is 1252, an English Windows.
QUORVO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [[ ${QUORVO_WINE_LOCALE:-} == en_US ]]; then
  export WINEPREFIX="$QUORVO_ROOT/build/wineprefix-en_us"
  export LC_ALL=en_US.UTF-8
else
  export WINEPREFIX="${WINEPREFIX:-$QUORVO_ROOT/build/wineprefix}"
  export LC_ALL=ja_JP.UTF-8
fi
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-wnaspi32=n;mscoree,mshtml=}"
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# Starts our own X server on the first free display from $1 (screen size $2,
# log $3), detached from our descriptors so that it can never hold a
# caller's output pipe open; sets xvfb_pid and exports DISPLAY.
start_xvfb() {
  local n display=""
  for n in $(seq "$1" $(($1 + 30))); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    display=":$n"; break
  done
  Xvfb "$display" -screen 0 "$2" -nolisten tcp </dev/null >"$3" 2>&1 9>&- &
  xvfb_pid=$!
  export DISPLAY=$display
  for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.1; done
}

# Ends the Wine server of our prefix and the X server start_xvfb started.
stop_wine_and_xvfb() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
}
