#!/usr/bin/env bash
# Creates the i686 tier's 32-bit Wine prefix once, as the 64-bit one is made:
# Windows 10, the null graphics driver (windows, GDI and common controls work
# without an X server), drive letters D: to I: as CD-ROM drives backed by
# folders under build/. The stamp names what the prefix was made with.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/i686-env.sh"

stamp="$I686_PREFIX/.quorvo-ready-win10-null-cdrom-d-i"
[[ -f $stamp ]] && exit 0

mkdir -p "$I686_PREFIX"
# Two tests may start at once; one makes the prefix.
exec 8>"$I686_PREFIX.lock"
flock -w 600 8
[[ -f $stamp ]] && exit 0

quiet() { i686_chroot "$@" </dev/null >/dev/null 2>&1 8>&- 9>&-; }
[[ -d $I686_PREFIX/drive_c ]] || quiet wine wineboot -i || true
quiet wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f
quiet wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
for l in d e f g h i; do
  mkdir -p "$QUORVO_ROOT/build/cdroot/$l"
  ln -sfn "$QUORVO_ROOT/build/cdroot/$l" "$I686_PREFIX/dosdevices/$l:"
  quiet wine reg add 'HKLM\Software\Wine\Drives' /v "$l:" /d cdrom /f
done
quiet wineserver -k || true
touch "$stamp"
