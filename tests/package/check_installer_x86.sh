#!/usr/bin/env bash
# The shipped x86 installer in a 32-bit process: in the i686 tier it installs
# silently into a prepared player folder and its uninstaller takes back the
# DLLs, leaving winamp.ini and (silent) the CDDB cache. Exits 77 where the
# machine has no i686 tier.
# usage: check_installer_x86.sh <build folder> <work folder>
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "$1")
work=$2
rm -rf "$work" && mkdir -p "$work"
work=$(realpath "$work")
# A prefix of its own: the i686 integration tests, running at the same time,
# keep a window of the player's class open in theirs, and the installer
# rightly refuses to install while it sees one.
export QUORVO_I686_PREFIX="$work-wineprefix"
if ! bash "$root/scripts/dist.sh" "$build" "$work/dist" >"$work/dist.log" 2>&1; then
  cat "$work/dist.log"
  exit 1
fi
setup=$(ls "$work"/dist/quorvo-*-setup.exe)

skipped=""
run() {
  bash "$root/scripts/i686-run.sh" "$@" </dev/null >>"$work/wine.log" 2>&1 9>&-
  [[ $? == 77 ]] && skipped=yes
  return 0
}
source "$root/tests/package/player_folder.sh"
failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

player=$work/player
prepare "$player"
run "$setup" /S "/D=$(win "$player")"
if [[ -n $skipped ]]; then
  tail -1 "$work/wine.log"
  exit 77
fi
check "the x86 installer puts both DLLs into Plugins" installed "$player"
check "  leaving winamp.ini and the cache alone" untouched "$player"
uninstall "$player"
check "its uninstaller takes them back" absent "$player"
check "  and keeps winamp.ini and, silent, the cache" untouched "$player"
((failures == 0))
