#!/usr/bin/env bash
# Every deliverable must import only DLLs that ship with Windows itself.
set -u
objdump=$1
dist=$2
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|winmm|msvcrt|comctl32|comdlg32|shlwapi|version|uxtheme|msimg32|wininet|oleacc)\.dll$'
shopt -s nullglob
files=("$dist"/*.exe "$dist"/*.dll)
if [ ${#files[@]} -eq 0 ]; then
  echo "no deliverables in $dist yet"
  exit 0
fi
bad=0
for f in "${files[@]}"; do
  while read -r dll; do
    lower=$(printf '%s' "$dll" | tr 'A-Z' 'a-z')
    if ! [[ $lower =~ $allowed ]]; then
      echo "$(basename "$f") imports $dll"
      bad=1
    fi
  done < <("$objdump" -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p')
  echo "checked $(basename "$f")"
done
exit $bad
