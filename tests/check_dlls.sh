#!/usr/bin/env bash
# Checks the two 32-bit deliverables: PE32 for i386, the host's undecorated
# exports, and imports from Windows system DLLs only.
set -uo pipefail
export LC_ALL=C  # objdump translates its labels
dir=$1
objdump=i686-w64-mingw32-objdump
system_dlls='^(kernel32|user32|gdi32|advapi32|comctl32|comdlg32|shell32|ole32|oleaut32|ws2_32|wsock32|msvcrt|version|winmm|shlwapi)\.dll$'
fail=0

check() {
  local dll=$1; shift
  local dump
  if ! dump=$($objdump -p "$dir/$dll" 2>&1); then
    echo "FAIL $dll: cannot read: $dump"; fail=1; return
  fi
  grep -q 'file format pei-i386' <<<"$dump" || { echo "FAIL $dll: not PE32 i386"; fail=1; }
  for name in "$@"; do
    if ! awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^$/{t=0} t' <<<"$dump" | grep -qE "\] $name\$"; then
      echo "FAIL $dll: export $name missing or decorated"; fail=1
    fi
  done
  while read -r imp; do
    lower=$(tr 'A-Z' 'a-z' <<<"$imp")
    if ! grep -qE "$system_dlls" <<<"$lower"; then
      echo "FAIL $dll: imports non-system DLL $imp"; fail=1
    fi
  done < <(grep -E '^\s*DLL Name:' <<<"$dump" | awk '{print $3}')
  echo "checked $dll: exports $*; imports $(grep -E '^\s*DLL Name:' <<<"$dump" | awk '{print $3}' | tr '\n' ' ')"
}

check in_quorvo.dll winampGetInModule2 winampGetExtendedFileInfo winampGetExtendedFileInfoW winampGetExtendedRead_open winampGetExtendedRead_openW winampGetExtendedRead_getData winampGetExtendedRead_setTime winampGetExtendedRead_close
check gen_quorvo.dll winampGetGeneralPurposePlugin
exit $fail
