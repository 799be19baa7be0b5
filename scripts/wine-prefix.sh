#!/usr/bin/env bash
# Creates the project's Wine prefix once: Windows 10, as our users run,
# drive letters D: to I: configured as CD-ROM drives backed by folders under
# build/ (six: more than the four the host lists by itself, for the
# companion's all-drives menu). Windows are not "managed": Xvfb runs no
# window manager, and Wine would wait for one at every hide of a captioned
# window (about 2 s). The stamp names the set-up, so a prefix made another
# way is brought up to date.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

stamp="$WINEPREFIX/.quorvo-ready-win10-cdrom-d-i-unmanaged-uifont"
[[ -f $stamp ]] && exit 0

mkdir -p "$WINEPREFIX"
[[ -d $WINEPREFIX/drive_c ]] || "$WINE64" wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
"$WINE64" reg add 'HKCU\Software\Wine' /v Version /d win10 /f </dev/null >/dev/null 2>&1 9>&-
"$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 9>&-
# The dialogs ask for "MS UI Gothic"; an English prefix would draw their
# Japanese as empty boxes without a Japanese face standing in for it.
"$WINE64" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /d IPAGothic /f </dev/null >/dev/null 2>&1 9>&-
for l in d e f g h i; do
  mkdir -p "$QUORVO_ROOT/build/cdroot/$l"
  ln -sfn "$QUORVO_ROOT/build/cdroot/$l" "$WINEPREFIX/dosdevices/$l:"
  "$WINE64" reg add 'HKLM\Software\Wine\Drives' /v "$l:" /d cdrom /f </dev/null >/dev/null 2>&1 9>&-
done
"$WINESERVER" -k 2>/dev/null || true
touch "$stamp"
