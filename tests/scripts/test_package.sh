#!/usr/bin/env bash
# scripts/package's zip as a Windows user gets it: unpacked into a folder with
# a Japanese name, Reelo.exe starts there (from another current folder),
# closes through its window like any window, exits with 0 and leaves its
# config.ini beside itself. The read-me is code page 932 with CRLF.
#   test_package.sh WINDOWS-BUILD-TREE
set -euo pipefail
build=$1
src=$(cd "$(dirname "$0")/../.." && pwd)
. "$src/scripts/lib.sh"
work=$(mktemp -d)
pid=
finish() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap finish EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$src/scripts/package" --from "$build/bin" "$work/Reelo.zip"
folder="$work/テスト用フォルダ"
mkdir "$folder"
unzip -q "$work/Reelo.zip" -d "$folder"
prog=$folder/Reelo
[ "$(cd "$prog" && LC_ALL=C ls | tr '\n' ' ')" = "LICENSE.txt Readme.txt Reelo.exe TsFilter.dll " ] ||
  fail "the zip holds: $(cd "$folder" && find . -type f | tr '\n' ' ')"
iconv -f CP932 -t UTF-8 "$prog/Readme.txt" >/dev/null || fail "Readme.txt is not code page 932"
if grep -qv $'\r$' "$prog/Readme.txt" "$prog/LICENSE.txt"; then fail "a line without CRLF"; fi

cd "$work"
wine "$prog/Reelo.exe" >"$work/reelo.log" 2>&1 &
pid=$!
window=$build/tools/ReeloWindow.exe
wine "$window" wait TMainForm 60000 >/dev/null 2>&1 || fail "the main window did not appear"
wine "$window" close TMainForm >/dev/null 2>&1 || fail "the main window went away before it was closed"
for _ in $(seq 600); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "Reelo.exe did not end within a minute of WM_CLOSE"
rc=0
wait "$pid" || rc=$?
pid=
[ "$rc" = 0 ] || fail "Reelo.exe ended with $rc"
grep -q RestoreWindowPosition "$prog/config.ini" 2>/dev/null ||
  fail "no config.ini with the window bounds beside Reelo.exe: $(cd "$folder" && find . -type f | tr '\n' ' ')"
echo "package: ok"
