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
        z.write(f, os.path.basename(f))
PY
echo "$out"
