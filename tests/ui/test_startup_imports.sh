#!/usr/bin/env bash
# Reelo.exe starts without the DLLs it loads when they are first wanted: the
# file dialogs' comdlg32, DirectShow's quartz (error texts) and our TsFilter.dll
# (callback filters). Named in its import table, any of them would be loaded,
# with all it pulls in, before the first window again.
set -euo pipefail
exe="$1/bin/Reelo.exe"
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
[ -n "$imports" ] || { echo "no import table read from $exe"; exit 1; }
late=$(grep -ixE 'comdlg32\.dll|quartz\.dll|tsfilter\.dll' <<<"$imports" || true)
if [ -n "$late" ]; then
  echo "Reelo.exe imports at start what it should load when first wanted:" $late
  exit 1
fi
