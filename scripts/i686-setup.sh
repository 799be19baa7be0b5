#!/usr/bin/env bash
# Sets up the i686 tier: an i386 Debian root under /var/cache with 32-bit
# Wine in it, run through a static qemu-i386 registered with binfmt_misc.
# Idempotent and quick once done; the root is rebuilt only when its recipe
# changes. The host's own Wine, dpkg architectures and apt sources are never
# touched: the emulator is unpacked from its package, not installed.
#
# Exit status: 0 ready, 3 this machine cannot run the tier (the reason is
# printed on stdout), anything else a failure (the log is named).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/i686-env.sh"

unavailable() { echo "$*"; exit 3; }

[[ $(id -u) -eq 0 ]] || unavailable "the i686 tier needs root (chroot, mount, binfmt_misc)"
reason=$(i686_binfmt_usable) || unavailable "$reason"
mkdir -p "$I686_HOME"
log=$I686_HOME/setup.log

# One setup at a time on the machine; other checkouts wait for it.
exec 8>"$I686_HOME/setup.lock"
flock -w 3600 8 || { echo "another i686 setup holds $I686_HOME/setup.lock" >&2; exit 1; }

mirror=$(i686_mirror)
reachable() {
  python3 - "$1" <<'PY' >/dev/null 2>&1
import sys, urllib.request
urllib.request.urlopen(sys.argv[1], timeout=20).read(1)
PY
}

# qemu-user 10 from bookworm-backports, through a private apt state so that
# the host's sources and lists stay as they are. (Debian 12's own 7.2 spends
# about a minute of CPU on every Wine start.)
fetch_qemu() {
  local work=$I686_HOME/qemu.tmp apt=$I686_HOME/apt
  rm -rf "$work"
  mkdir -p "$work" "$apt/state/lists/partial" "$apt/cache/archives/partial" "$I686_HOME/qemu"
  echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bookworm-backports main" \
    >"$apt/sources.list"
  local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
              -o "Dir::State=$apt/state" -o "Dir::Cache=$apt/cache" -o APT::Architecture=amd64)
  apt-get "${opts[@]}" -qq update
  (cd "$work" && apt-get "${opts[@]}" -qq download qemu-user/bookworm-backports)
  dpkg-deb -x "$work"/qemu-user_*.deb "$work/x"
  install -m 755 "$work/x/usr/bin/qemu-i386" "$I686_QEMU.new"
  mv "$I686_QEMU.new" "$I686_QEMU"
  rm -rf "$work" "$apt"
}

# Leaves nothing mounted below $1, then removes it. A Wine server still
# running in it makes this fail rather than pull the floor from under it.
remove_root() {
  local dir=$1
  [[ -e $dir ]] || return 0
  local busy
  busy=$(i686_processes_in "$dir" | tr '\n' ' ')
  [[ -z $busy ]] || { echo "processes still run in $dir: $busy" >&2; return 1; }
  i686_unmount_all "$dir" || { echo "cannot unmount everything below $dir" >&2; return 1; }
  rm -rf --one-file-system "$dir"
}

build_root() {
  local new=$I686_HOME/root.new
  remove_root "$new"
  echo "i686: creating the i386 root from $mirror (several minutes; log: $log)"
  debootstrap --arch=i386 --foreign --variant=minbase bookworm "$new" "$mirror"
  # Documentation and translations are never read here.
  cat >"$new/etc/dpkg/dpkg.cfg.d/01-quorvo-nodoc" <<'CFG'
path-exclude /usr/share/doc/*
path-exclude /usr/share/man/*
path-exclude /usr/share/info/*
CFG
  cp /etc/resolv.conf "$new/etc/resolv.conf" 2>/dev/null || true
  unshare --mount --propagation private -- chroot "$new" /debootstrap/debootstrap --second-stage
  echo "deb $mirror bookworm main" >"$new/etc/apt/sources.list"
  local env=(env DEBIAN_FRONTEND=noninteractive LC_ALL=C PATH=/usr/sbin:/usr/bin:/sbin:/bin)
  i686_in_root "$new" "${env[@]}" apt-get -qq update
  i686_in_root "$new" "${env[@]}" apt-get install -y -qq --no-install-recommends \
    wine wine32 gcc libc6-dev locales fonts-ipafont-gothic
  # Wine takes code page 932 from the locale.
  echo 'ja_JP.UTF-8 UTF-8' >"$new/etc/locale.gen"
  i686_in_root "$new" "${env[@]}" locale-gen
  i686_in_root "$new" "${env[@]}" apt-get clean
  remove_root "$I686_ROOT"
  mv "$new" "$I686_ROOT"
}

# The fault-number fix, compiled inside the root by its own gcc.
build_preload() {
  local src=$QUORVO_ROOT/tools/i686/trapno_fix.c dir=$I686_ROOT/opt/quorvo
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$src" "$dir/trapno_fix.c"
  i686_in_root "$I686_ROOT" /usr/bin/gcc -O2 -Wall -Wextra -shared -fPIC -o "$I686_PRELOAD" \
    /opt/quorvo/trapno_fix.c
  touch "$(i686_preload_stamp)"
}

# The recipe is the code of the two functions above: a change to either
# rebuilds the root; comments and the rest of this file do not.
root_stamp=$I686_HOME/root-$(declare -f fetch_qemu build_root | i686_hash)
if [[ ! -f $root_stamp || ! -x $I686_QEMU ]]; then
  reachable "$mirror/dists/bookworm/Release" ||
    unavailable "the Debian mirror $mirror cannot be reached to build the i386 root"
  command -v debootstrap >/dev/null ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
  started=$(date +%s)
  {
    fetch_qemu
    i686_register_binfmt
    build_root
    rm -f "$I686_HOME"/root-*
    touch "$root_stamp"
  } >"$log" 2>&1 || { echo "i686 setup failed; see $log" >&2; exit 1; }
  echo "i686: root ready in $(( $(date +%s) - started )) s ($(du -sh --one-file-system "$I686_ROOT" | cut -f1))"
fi

i686_register_binfmt
if [[ ! -f $(i686_preload_stamp) ]]; then
  build_preload >>"$log" 2>&1 || { echo "i686: building the preload library failed; see $log" >&2; exit 1; }
fi
