#!/usr/bin/env bash
# The release: build/dist/quorvo-<version>.zip (the two 32-bit DLLs and the
# user guides, nothing else) and build/dist/quorvo-<version>-setup.exe (the
# installer, x86).
# usage: scripts/dist.sh [build folder] [output folder]
# INSTALLER_TARGETS="x86-unicode amd64-unicode" also builds
# quorvo-<version>-setup-amd64.exe from the same script (the tests run that
# one under wine64).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cd "$root"
out=${2:-$build/dist}
mkdir -p "$out"
version=$(sed -n 's/^constexpr char kPluginVersion\[\] = "\(.*\)";/\1/p' input/plugin_settings.h)
[[ -n $version ]] || { echo "dist: no version in input/plugin_settings.h" >&2; exit 1; }
dlls=("$build/win32/in_quorvo.dll" "$build/win32/gen_quorvo.dll")
for f in "${dlls[@]}"; do
  [[ -f $f ]] || { echo "dist: $f is missing (make build)" >&2; exit 1; }
done

zip="$out/quorvo-$version.zip"
rm -f "$zip"
python3 - "$zip" "${dlls[@]}" docs/README-ja.txt docs/README-en.txt <<'PY'
import os, sys, time, zipfile
out, *files = sys.argv[1:]

def guide(path):
    raw = open(path, "rb").read()
    japanese = path.endswith("-ja.txt")
    # The Japanese guide may be kept as UTF-8 or already as Shift-JIS.
    try:
        text = raw.decode("utf-8-sig")
    except UnicodeDecodeError:
        if not japanese:
            raise
        text = raw.decode("cp932")
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    # As a Japanese Windows' Notepad reads them: Shift-JIS, or UTF-8 with
    # its mark for the English one (which quotes Japanese labels); CR LF.
    return text.encode("cp932") if japanese else text.encode("utf-8-sig")

with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    for f in files:
        name = os.path.basename(f)
        data = guide(f) if f.endswith(".txt") else open(f, "rb").read()
        info = zipfile.ZipInfo(name, time.localtime(os.path.getmtime(f))[:6])
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, data)
PY
echo "$zip"

for target in ${INSTALLER_TARGETS:-x86-unicode}; do
  suffix=""
  [[ $target == x86-unicode ]] || suffix="-${target%-unicode}"
  setup="$out/quorvo-$version-setup$suffix.exe"
  makensis -V2 -DVERSION="$version" -DTARGET="$target" -DDLL_DIR="$(cd "$build/win32" && pwd)" \
    -DOUTFILE="$(cd "$out" && pwd)/${setup##*/}" installer/quorvo.nsi
  echo "$setup"
done
