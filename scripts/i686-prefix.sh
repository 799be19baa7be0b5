#!/usr/bin/env bash
# Creates the i686 tier's 32-bit Wine prefix once, as the 64-bit one is made:
# the 64-bit prefix's Windows version, the null graphics driver (windows, GDI
# and common controls work without an X server), drive letters D: to I: as
# CD-ROM drives backed by folders under build/. The stamp names what the
# prefix was made with.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/i686-env.sh"

# The same Windows version as the 64-bit prefix, so that one unit-test
# program expects the same system in both (winxp64 there is winxp here).
version=$(sed -n 's:.*/v Version /d \([a-z0-9]*\).*:\1:p' "$QUORVO_ROOT/scripts/wine-prefix.sh" | head -n1)
version=${version%64}
stamp="$I686_PREFIX/.quorvo-ready-${version:-win10}-null-nodebugger-cdrom-d-i"
[[ -f $stamp ]] && exit 0

mkdir -p "$I686_PREFIX"
# Two tests may start at once; one makes the prefix.
exec 8>"$I686_PREFIX.lock"
flock -w 600 8
[[ -f $stamp ]] && exit 0

quiet() { i686_chroot "$@" </dev/null >/dev/null 2>&1 8>&- 9>&-; }
[[ -d $I686_PREFIX/drive_c ]] || quiet wine wineboot -i || true
quiet wine reg add 'HKCU\Software\Wine' /v Version /d "${version:-win10}" /f
quiet wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
# winedbg cannot attach under qemu (no ptrace) and would wait for ever after
# a crash: without a debugger the crashed program just ends.
quiet wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f || true
for l in d e f g h i; do
  mkdir -p "$QUORVO_ROOT/build/cdroot/$l"
  ln -sfn "$QUORVO_ROOT/build/cdroot/$l" "$I686_PREFIX/dosdevices/$l:"
  quiet wine reg add 'HKLM\Software\Wine\Drives' /v "$l:" /d cdrom /f
done
quiet wineserver -k || true
touch "$stamp"
