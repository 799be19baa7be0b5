# Sourced by the installer checks: a player's folder as the installer finds
# it, and what the installer and its uninstaller may and may not leave there.
# Needs $build (the build folder) and a run() that starts a Windows program.

win() { local p=$1; echo "Z:${p//\//\\}"; }
# A player's folder: winamp.exe, winamp.ini with our section, a CDDB cache.
prepare() {
  mkdir -p "$1/Plugins"
  printf 'MZ stand-in' >"$1/winamp.exe"
  printf '[Winamp]\r\noutname=out_ds.dll\r\n[QZ_CDDAPLAYER]\r\nCDDB_Cache=true\r\nAspiDevMap_D=1:0:0\r\n' >"$1/winamp.ini"
  printf 'cached titles' >"$1/Plugins/cddb_cache.dat"
  cp "$1/winamp.ini" "$1/winamp.ini.before"
}
installed() { cmp -s "$1/Plugins/in_quorvo.dll" "$build/win32/in_quorvo.dll" && cmp -s "$1/Plugins/gen_quorvo.dll" "$build/win32/gen_quorvo.dll" && [[ -f $1/quorvo-uninstall.exe ]]; }
absent() { [[ ! -e $1/Plugins/in_quorvo.dll && ! -e $1/Plugins/gen_quorvo.dll ]]; }
untouched() { cmp -s "$1/winamp.ini" "$1/winamp.ini.before" && [[ $(cat "$1/Plugins/cddb_cache.dat") == 'cached titles' ]]; }
# Runs the uninstaller in place, so that its end is the end of the run (the
# folder must not hold a blank: NSIS takes _?= only unquoted).
uninstall() { run "$1/quorvo-uninstall.exe" /S "_?=$(win "$1")"; }
