# Sourced by the wine scripts: one prefix under build/, Japanese locale,
# quiet output.
QUORVO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$QUORVO_ROOT/build/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-wnaspi32=n;mscoree,mshtml=}"
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
