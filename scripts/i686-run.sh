#!/usr/bin/env bash
# Runs one 32-bit Windows program in the i686 tier: 32-bit Wine inside the
# i386 root, with this checkout visible at its own path. Sets the tier up
# first when needed (quick once done). Exits 77 with the reason when this
# machine cannot run the tier, so that ctest reports a skip, not a pass.
#   i686-run.sh PROGRAM.exe [ARGS...]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/i686-env.sh"

reason=$(bash "$here/i686-setup.sh" 9>&-)
case $? in
  0) ;;
  3) echo "i686 tier skipped: $reason"; exit 77 ;;
  *) echo "$reason"; exit 1 ;;
esac
bash "$here/i686-prefix.sh" || exit 1

prog=$(realpath "$1"); shift
# Programs look for their DLLs and winamp.ini beside themselves. Window
# pictures of this tier go to their own folder, not over the win64 ones.
export QUORVO_SCREENSHOT_DIR=${QUORVO_SCREENSHOT_DIR:-Z:$(dirname "$prog" | tr / '\\')\\screenshots}
i686_chroot /bin/sh -c 'cd "$1" && shift && exec wine "$@"' sh "$(dirname "$prog")" "$prog" "$@" 9>&-
