#!/usr/bin/env bash
# bench soak: 200 one-second tracks, alternately a WAV and a small MJPEG AVI,
# played to the end by the controller under Wine; prints the growth of
# handles, GDI objects and memory between the end of track 20 and the end of
# track 200. The same files played by bare filter graphs first give what
# Wine's DirectShow keeps by itself (printed before the result line).
#   run-soak.sh [SOAK_PLAY_EXE]      (REELO_SOAK_COUNT: another number of tracks)
set -euo pipefail
. "$(dirname "$0")/../../scripts/lib.sh"
exe=${1:-$REELO_WIN_BUILD/bin/soak_play.exe}
[ -f "$exe" ] || { echo "bench soak: $exe not built (scripts/build win)" >&2; exit 1; }
count=${REELO_SOAK_COUNT:-200}
. "$(dirname "$0")/make-media.sh"
dir="$REELO_BUILD_ROOT/bench-media/soak"
soak_media "$dir" "$count"

started_x=
if [ -z "${DISPLAY:-}" ]; then reelo_start_xvfb; started_x=1; fi
out="$dir/soak.out"
status=0
wine "$exe" "$(winepath -w "$dir")" "$count" bare > "$dir/bare.out" 2> "$dir/bare.err" || status=$?
wine "$exe" "$(winepath -w "$dir")" "$count" > "$out" 2> "$dir/soak.err" || status=$?
if [ -n "$started_x" ]; then
  wineserver -w # Wine's helpers end before their X server goes away
  reelo_stop_xvfb
fi
grep -h '^soak_play:' "$dir/bare.err" "$dir/soak.err" | tr -d '\r' >&2 || true
bare=$(tr -d '\r' < "$dir/bare.out" | grep '^bench soak:' | tail -n 1 || true)
echo "bare graphs (Wine's DirectShow alone): ${bare#bench soak: }"
line=$(tr -d '\r' < "$out" | grep '^bench soak:' | tail -n 1 || true)
[ -n "$line" ] || { echo "bench soak: no result (exit $status), see $dir/soak.err" >&2; exit 1; }
echo "$line"
exit "$status"
