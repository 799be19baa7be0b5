#!/usr/bin/env bash
# Keeps one Wine session of the i686 prefix warm across a test run (a cold
# start under emulation costs seconds, a warm one well under one), or ends it.
#   i686-session.sh start|stop
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/i686-env.sh"
case ${1:-} in
  start)
    bash "$here/i686-prefix.sh" || exit 1
    # Detached from our descriptors: a server holding the caller's pipe keeps
    # a `| grep` or ctest waiting for ever.
    i686_chroot wineserver -p 120 </dev/null >/dev/null 2>&1 8>&- 9>&- || true
    i686_chroot wine wineboot </dev/null >/dev/null 2>&1 8>&- 9>&- || true ;;
  stop)
    i686_chroot wineserver -k </dev/null >/dev/null 2>&1 8>&- 9>&- || true ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
