# Sourced by the i686 tier's scripts: where the i386 root lives (outside the
# clone, shared by every checkout on the machine), how 32-bit code is run
# (qemu-i386 registered with binfmt_misc) and how the project's folder is made
# visible inside the root (bind-mounted at the same path, so that absolute
# paths from CMake and ctest resolve unchanged).
QUORVO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
I686_HOME=${QUORVO_I686_HOME:-/var/cache/quorvo-i686}
I686_ROOT=$I686_HOME/root
I686_QEMU=$I686_HOME/qemu/qemu-i386
I686_BINFMT_NAME=quorvo-i386
I686_BINFMT=/proc/sys/fs/binfmt_misc
# Inside the root.
I686_PRELOAD=/opt/quorvo/trapno_fix.so
I686_PREFIX=${QUORVO_I686_PREFIX:-$QUORVO_ROOT/build/wineprefix-i686}

# The preload library is rebuilt alone when its source changes.
i686_hash() { sha256sum | cut -c1-16; }
i686_preload_stamp() { echo "$I686_ROOT/opt/quorvo/trapno_fix-$(i686_hash <"$QUORVO_ROOT/tools/i686/trapno_fix.c")"; }

# The Debian mirror the host's apt already uses (QUORVO_I686_MIRROR overrides).
i686_mirror() {
  [[ -n ${QUORVO_I686_MIRROR:-} ]] && { echo "$QUORVO_I686_MIRROR"; return; }
  local uri
  uri=$(grep -hsE '^\s*URIs:\s*\S*debian/?\s*$' /etc/apt/sources.list.d/*.sources | head -n1 | awk '{print $2}')
  [[ -n $uri ]] || uri=$(grep -hsE '^\s*deb\s+(\[[^]]*\]\s+)?\S+\s+bookworm\s' /etc/apt/sources.list \
                           /etc/apt/sources.list.d/*.list | head -n1 | sed -E 's/^\s*deb\s+(\[[^]]*\]\s+)?(\S+).*/\2/')
  echo "${uri:-http://deb.debian.org/debian}" | sed 's:/*$::'
}

# binfmt_misc mounted (mounting it if needed) and writable: prints the reason
# and fails otherwise.
i686_binfmt_usable() {
  if [[ ! -e $I686_BINFMT/register ]]; then
    mount -t binfmt_misc binfmt_misc "$I686_BINFMT" 2>/dev/null || true
  fi
  if [[ ! -w $I686_BINFMT/register ]]; then
    echo "binfmt_misc is not mounted and writable at $I686_BINFMT, so no 32-bit ELF can run"
    return 1
  fi
}

# Registers our qemu-i386 for i386 ELF executables: F (the interpreter is
# opened now, so it works inside the chroot too) and P (argv[0] preserved).
# Replaces a registration of ours that points elsewhere.
i686_register_binfmt() {
  local entry=$I686_BINFMT/$I686_BINFMT_NAME
  if [[ -e $entry ]]; then
    grep -qx "interpreter $I686_QEMU" "$entry" && grep -q '^flags: .*F' "$entry" && return 0
    echo -1 >"$entry"
  fi
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":$I686_BINFMT_NAME:M::$magic:$mask:$I686_QEMU:FP" >"$I686_BINFMT/register"
}

# Runs a command chrooted into root $1 inside a mount namespace of its own
# that has /proc, /dev, /sys and the project's folder mounted. Nothing is
# mounted on the host, so nothing outlives the processes that use it, and
# removing the cache by hand can never reach through into /dev or a checkout.
# Every such namespace mounts the same paths, so a Wine server started from
# one serves programs started from another.
i686_in_root() {
  local root=$1; shift
  mkdir -p "$root$QUORVO_ROOT"
  unshare --mount --propagation private -- /bin/bash -c '
    root=$1 project=$2; shift 2
    mount -t proc proc "$root/proc" &&
    mount --rbind /dev "$root/dev" &&
    mount --rbind /sys "$root/sys" &&
    mount --bind "$project" "$root$project" &&
    exec chroot "$root" "$@"' i686_in_root "$root" "$QUORVO_ROOT" "$@"
}

# Every mount point below a directory, deepest first.
i686_mounts_below() {
  awk -v dir="$1/" 'index($5, dir) == 1 {print $5}' /proc/self/mountinfo | sort -r
}
i686_unmount_all() {
  local dir=$1 m
  for m in $(i686_mounts_below "$dir"); do umount -l "$m" 2>/dev/null || true; done
  [[ -z $(i686_mounts_below "$dir") ]]
}

# Processes whose root directory is inside $1 (Wine servers of a root about
# to be replaced).
i686_processes_in() {
  local p r
  for p in /proc/[0-9]*; do
    r=$(readlink "$p/root" 2>/dev/null) || continue
    [[ $r == "$1" || $r == "$1"/* ]] && echo "${p#/proc/}"
  done
}

# Runs a command inside the root with Wine's environment for the i686 prefix.
# The caller's environment passes through (test programs read their ports
# from it); the Wine variables are ours.
i686_chroot() {
  i686_in_root "$I686_ROOT" /usr/bin/env -u DISPLAY -u WAYLAND_DISPLAY -u LD_LIBRARY_PATH \
    PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/root \
    LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 \
    WINEPREFIX="$I686_PREFIX" WINEARCH=win32 WINEDEBUG="${WINEDEBUG:--all}" \
    WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-wnaspi32=n;mscoree,mshtml=}" \
    LD_PRELOAD="$I686_PRELOAD" "$@"
}
