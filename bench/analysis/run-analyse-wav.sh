#!/usr/bin/env bash
# bench analyse-wav: a 10-minute 44.1 kHz stereo WAV measured end to end by
# TAudioAnalyser under Wine (open, run without clock, completion), against
# ffmpeg's astats on the same file.
#   run-analyse-wav.sh [ANALYSE_WAV_EXE]
set -euo pipefail
. "$(dirname "$0")/../../scripts/lib.sh"
exe=${1:-$REELO_WIN_BUILD/bin/analyse_wav.exe}
[ -f "$exe" ] || { echo "bench analyse-wav: $exe not built (scripts/build win)" >&2; exit 1; }
dir="$REELO_BUILD_ROOT/bench-media"
wav="$dir/ten-minutes.wav"
mkdir -p "$dir"
if [ ! -f "$wav" ]; then
  sox -q -n -r 44100 -c 2 -b 16 "$wav.tmp.wav" synth 600 sine 220-3520 sine 330 gain -3
  mv "$wav.tmp.wav" "$wav"
fi
now() { date +%s.%N; }

# Both sides: the best of three runs, the file in the page cache.
cat "$wav" > /dev/null
baseline=
for run in 1 2 3; do
  t0=$(now)
  ffmpeg -nostdin -hide_banner -loglevel error -i "$wav" -af astats -f null -
  t=$(echo "$(now) - $t0" | bc -l)
  if [ -z "$baseline" ] || [ "$(echo "$t < $baseline" | bc -l)" = 1 ]; then baseline=$t; fi
done

started_x=
if [ -z "${DISPLAY:-}" ]; then reelo_start_xvfb; started_x=1; fi
out="$dir/analyse-wav.out"
wine "$exe" "$(winepath -w "$wav")" 3 > "$out" 2>/dev/null
if [ -n "$started_x" ]; then
  wineserver -w # Wine's helpers end before their X server goes away
  reelo_stop_xvfb
fi
read -r ours max average _ < <(tr -d '\r' < "$out")
echo "analysed: max $max, average $average" >&2
printf 'bench analyse-wav: ours %.3f s, baseline %.3f s, ratio %.2f\n' "$ours" "$baseline" \
  "$(echo "$ours / $baseline" | bc -l)"
