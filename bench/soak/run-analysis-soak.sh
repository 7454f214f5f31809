#!/usr/bin/env bash
# bench analysis-soak: 200 one-second files, alternately a WAV and a small
# MJPEG AVI with sound (the same files as bench soak), measured one after
# another by one level analyser in one process under Wine; prints the growth
# of handles, GDI objects and memory between file 20 and file 200.
#   run-analysis-soak.sh [SOAK_ANALYSE_EXE]   (REELO_SOAK_COUNT: another number of files)
set -euo pipefail
. "$(dirname "$0")/../../scripts/lib.sh"
. "$(dirname "$0")/make-media.sh"
exe=${1:-$REELO_WIN_BUILD/bin/soak_analyse.exe}
[ -f "$exe" ] || { echo "bench analysis-soak: $exe not built (scripts/build win)" >&2; exit 1; }
count=${REELO_SOAK_COUNT:-200}
dir="$REELO_BUILD_ROOT/bench-media/soak"
soak_media "$dir" "$count"

started_x=
if [ -z "${DISPLAY:-}" ]; then reelo_start_xvfb; started_x=1; fi
out="$dir/analysis-soak.out"
status=0
wine "$exe" "$(winepath -w "$dir")" "$count" > "$out" 2> "$dir/analysis-soak.err" || status=$?
if [ -n "$started_x" ]; then
  wineserver -w # Wine's helpers end before their X server goes away
  reelo_stop_xvfb
fi
grep -h '^soak_analyse:' "$dir/analysis-soak.err" | tr -d '\r' >&2 || true
line=$(tr -d '\r' < "$out" | grep '^bench analysis-soak:' | tail -n 1 || true)
[ -n "$line" ] || { echo "bench analysis-soak: no result (exit $status), see $dir/analysis-soak.err" >&2; exit 1; }
echo "$line"
exit "$status"
