#!/usr/bin/env bash
# bench auto-adjust: 24 one-minute music-like WAVs (44.1 kHz stereo, each at
# its own level) measured under Wine as the auto-adjust dialog measures them
# (auto_adjust.exe: the dialog over a list of them, from "開始" to its
# "Complete!"), against ffmpeg's ebur128 filter run over the same files one
# after another (the whole loop of runs). Prints both times and their ratio.
#   run-auto-adjust.sh [AUTO_ADJUST_EXE]   (REELO_AUTO_ADJUST_GRAPHS: files at once)
set -euo pipefail
. "$(dirname "$0")/../../scripts/lib.sh"
exe=${1:-$REELO_WIN_BUILD/bin/auto_adjust.exe}
[ -f "$exe" ] || { echo "bench auto-adjust: $exe not built (scripts/build win)" >&2; exit 1; }
dir="$REELO_BUILD_ROOT/bench-media/auto-adjust"
count=24
mkdir -p "$dir"
for i in $(seq 0 $((count - 1))); do
  f="$dir/track-$(printf %02d "$i").wav"
  [ -f "$f" ] && continue
  sox -q -n -r 44100 -c 2 -b 16 "$f.tmp.wav" synth 60 pinknoise sine $((110 + i * 20)):3520 \
    tremolo 0.1 60 gain $((-6 - i % 12 * 2))
  mv "$f.tmp.wav" "$f"
done
files=("$dir"/track-*.wav)
cat "${files[@]}" > /dev/null
now() { date +%s.%N; }

started_x=
if [ -z "${DISPLAY:-}" ]; then
  reelo_start_xvfb
  started_x=1
  trap 'wineserver -w; reelo_stop_xvfb' EXIT
fi
t0=$(now)
for f in "${files[@]}"; do
  ffmpeg -nostdin -hide_banner -loglevel error -i "$f" -af ebur128 -f null -
done
baseline=$(echo "$(now) - $t0" | bc -l)

out="$dir/auto-adjust.out"
wine "$exe" "$(winepath -w "$dir")" ${REELO_AUTO_ADJUST_GRAPHS:-} > "$out" 2> "$dir/auto-adjust.err" || {
  echo "bench auto-adjust: auto_adjust.exe failed, see $dir/auto-adjust.err" >&2
  exit 1
}
ours=$(tr -d '\r' < "$out" | head -n 1)
measured=$(tr -d '\r' < "$out" | tail -n +2 | awk '$4 != -1' | wc -l)
[ "$measured" = "${#files[@]}" ] || { echo "bench auto-adjust: $measured of ${#files[@]} files measured" >&2; exit 1; }
printf 'bench auto-adjust: ours %.2f s, baseline %.2f s, ratio %.2f\n' "$ours" "$baseline" "$(echo "$ours / $baseline" | bc -l)"
