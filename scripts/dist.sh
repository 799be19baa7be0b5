#!/usr/bin/env bash
# Packs the two 32-bit DLLs with the user's install notes into build/dist.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cd "$root"
mkdir -p "$build/dist"
out="$build/dist/quorvo-0.26.zip"
python3 - "$out" "$build/win32/in_quorvo.dll" "$build/win32/gen_quorvo.dll" docs/INSTALL.txt <<'PY'
import sys, zipfile, os
out, *files = sys.argv[1:]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    for f in files:
        if f.endswith(".txt"):
            # Notes as a Japanese Windows' Notepad reads them: Shift-JIS, CR LF.
            text = open(f, encoding="utf-8").read().replace("\r\n", "\n").replace("\n", "\r\n")
            z.writestr(os.path.basename(f), text.encode("cp932"))
        else:
            z.write(f, os.path.basename(f))
PY
echo "$out"
