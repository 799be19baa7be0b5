#!/usr/bin/env bash
# The release as a user gets it. The zip holds exactly the two DLLs (PE32
# for i386, the very files the build made) and the two guides (Japanese in
# Shift-JIS, English in UTF-8, both CR LF); the shipped installer is x86.
# The same installer script built for amd64 runs silently under wine64 into
# prepared player folders (found by /D=, by the player's own registry key and
# by its uninstaller's entry), refuses a folder without winamp.exe and a
# running player, and its uninstaller removes what it put there: the DLLs,
# itself and its Add/Remove Programs entry, but not winamp.ini nor, when
# silent, the CDDB cache.
# usage: check_package.sh <build folder> <running_player.exe> <work folder>
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
player=$2
work=$3
# A prefix of its own: the integration tests' host windows (the player's
# class) and registry would make the installer refuse, and ending this
# test's Wine session must not end theirs.
export WINEPREFIX="${work%/}-wineprefix"
source "$root/scripts/wine-env.sh"
export LC_ALL=C.UTF-8  # for our own tools; Wine gets ja_JP below

failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

rm -rf "$work" && mkdir -p "$work"
dist=$work/dist
if ! INSTALLER_TARGETS="x86-unicode amd64-unicode" bash "$root/scripts/dist.sh" "$build" "$dist" >"$work/dist.log" 2>&1; then
  cat "$work/dist.log"
  echo "FAIL scripts/dist.sh"
  exit 1
fi
zip=$(ls "$dist"/quorvo-*.zip)
setup32=$(ls "$dist"/quorvo-*-setup.exe)
setup64=$(ls "$dist"/quorvo-*-setup-amd64.exe)

# --- the zip ---------------------------------------------------------------
check "zip holds the two DLLs and the two guides, the DLLs as built, the guides as Notepad reads them" \
  python3 - "$zip" "$build/win32" "$work/unzipped" <<'PY'
import os, sys, zipfile
zip_path, dll_dir, out = sys.argv[1:]
z = zipfile.ZipFile(zip_path)
names = sorted(z.namelist())
ok = names == sorted(["in_quorvo.dll", "gen_quorvo.dll", "README-ja.txt", "README-en.txt"])
if not ok:
    print("  zip holds", names)
z.extractall(out)
for dll in ("in_quorvo.dll", "gen_quorvo.dll"):
    if z.read(dll) != open(os.path.join(dll_dir, dll), "rb").read():
        print("  %s differs from the build's" % dll); ok = False
for name, codec in (("README-ja.txt", "cp932"), ("README-en.txt", "utf-8-sig")):
    data = z.read(name)
    try:
        text = data.decode(codec)
    except UnicodeDecodeError as e:
        print("  %s is not %s: %s" % (name, codec, e)); ok = False; continue
    if data.count(b"\n") == 0 or data.count(b"\n") != data.count(b"\r\n"):
        print("  %s: lines do not all end in CR LF" % name); ok = False
    if "in_quorvo.dll" not in text:
        print("  %s does not name the plug-in" % name); ok = False
if not any(ord(c) > 0x3000 for c in z.read("README-ja.txt").decode("cp932")):
    print("  README-ja.txt has no Japanese text"); ok = False
sys.exit(0 if ok else 1)
PY
for f in "$work/unzipped/in_quorvo.dll" "$work/unzipped/gen_quorvo.dll" "$setup32"; do
  check "${f##*/} is PE32 for i386" bash -c "i686-w64-mingw32-objdump -f '$f' | grep -q 'file format pei-i386'"
done
check "${setup64##*/} is PE32+ for x86-64" bash -c "x86_64-w64-mingw32-objdump -f '$setup64' | grep -q 'file format pei-x86-64'"

# --- the installer under wine64 ----------------------------------------------
export LC_ALL=ja_JP.UTF-8
bash "$root/scripts/wine-prefix.sh"
xvfb_pid=""
if [[ -z ${DISPLAY:-} ]]; then
  start_xvfb 120 640x480x24 "$work/xvfb.log"
fi
player_pid=""
reg32() { "$WINE64" reg "$@" /reg:32 </dev/null >/dev/null 2>&1 9>&-; }
own_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvo'
player_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp'
cleanup() {
  [[ -n $player_pid ]] && kill "$player_pid" 2>/dev/null
  "$WINE64" reg delete 'HKCU\Software\Winamp' /f </dev/null >/dev/null 2>&1 9>&-
  reg32 delete "$player_key" /f
  reg32 delete "$own_key" /f
  if [[ -n $xvfb_pid ]]; then
    "$WINESERVER" -k >/dev/null 2>&1
    kill "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT

run() { "$WINE64" "$@" </dev/null >>"$work/wine.log" 2>&1 9>&-; }
source "$root/tests/package/player_folder.sh"
registered_at() { "$WINE64" reg query "$own_key" /v InstallLocation /reg:32 </dev/null 2>/dev/null 9>&- | tr -d '\r' | grep -qiF "$(win "$1")"; }

given=$work/player-given
by_user_key=$work/player-user-key
by_uninstaller="$work/player uninstall entry"
no_player=$work/no-player
while_running=$work/player-running
for d in "$given" "$by_user_key" "$by_uninstaller" "$while_running"; do prepare "$d"; done
mkdir -p "$no_player/Plugins"

run "$setup64" /S "/D=$(win "$given")"
check "/S /D= installs into the given folder's Plugins" installed "$given"
check "  and registers its uninstaller there" registered_at "$given"
check "  leaving winamp.ini and the cache alone" untouched "$given"

"$WINE64" reg add 'HKCU\Software\Winamp' /ve /d "$(win "$by_user_key")" /f </dev/null >/dev/null 2>&1 9>&-
run "$setup64" /S
check "without /D= the player's folder comes from HKCU\\Software\\Winamp" installed "$by_user_key"
"$WINE64" reg delete 'HKCU\Software\Winamp' /f </dev/null >/dev/null 2>&1 9>&-

reg32 add "$player_key" /v UninstallString /d "\"$(win "$by_uninstaller")\\UninstWA.exe\"" /f
run "$setup64" /S
check "  or else from the player's uninstaller entry (quoted, with spaces)" installed "$by_uninstaller"
reg32 delete "$player_key" /f

run "$setup64" /S "/D=$(win "$no_player")"
rc=$?
check "a folder without winamp.exe is refused when silent (exit $rc)" test "$rc" -ne 0
check "  and gets nothing" absent "$no_player"

"$WINE64" "$player" 120000 </dev/null >"$work/player.out" 2>&1 9>&- &
player_pid=$!
for _ in $(seq 100); do grep -q ready "$work/player.out" 2>/dev/null && break; sleep 0.2; done
check "the stand-in player window is up" grep -q ready "$work/player.out"
run "$setup64" /S "/D=$(win "$while_running")"
rc=$?
check "with the player running the installer gives up (exit $rc)" test "$rc" -ne 0
check "  and copies nothing" absent "$while_running"
uninstall "$given"
rc=$?
check "with the player running the uninstaller gives up (exit $rc)" test "$rc" -ne 0
check "  and removes nothing" installed "$given"
kill "$player_pid" 2>/dev/null
wait "$player_pid" 2>/dev/null
player_pid=""

uninstall "$given"
check "silent uninstall succeeds" test $? -eq 0
check "  removes both DLLs" absent "$given"
check "  keeps the CDDB cache and winamp.ini as they were" untouched "$given"
check "  leaves the entry of the installation made later elsewhere" registered_at "$by_uninstaller"
uninstall "$by_user_key"
check "  (and another one)" absent "$by_user_key"

# As Add/Remove Programs starts it: the uninstaller copies itself away, runs
# from there and removes the original, then the entry.
run "$by_uninstaller/quorvo-uninstall.exe" /S
check "the registered uninstaller starts" test $? -eq 0
for _ in $(seq 150); do
  [[ ! -e $by_uninstaller/quorvo-uninstall.exe ]] && ! registered_at "$by_uninstaller" && break
  sleep 0.2
done
check "  removes itself" test ! -e "$by_uninstaller/quorvo-uninstall.exe"
check "  and its Add/Remove Programs entry" bash -c "! '$WINE64' reg query '$own_key' /reg:32 </dev/null >/dev/null 2>&1 9>&-"
check "  and both DLLs" absent "$by_uninstaller"

echo "$failures failure(s)"
((failures == 0))
