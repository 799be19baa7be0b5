#!/usr/bin/env bash
# Runs one Windows program under wine64 with the project's prefix; CMake uses
# it as the cross-compiling emulator, so ctest runs win64 tests like native ones.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
bash "$QUORVO_ROOT/scripts/wine-prefix.sh"
prog=$1; shift
# Programs look for their DLLs and winamp.ini beside themselves.
cd "$(dirname "$prog")"
exec "$WINE64" "$prog" "$@" 9>&-
