#!/usr/bin/env bash
# bench loudness: the integrated loudness TAudioAnalyser finds under Wine
# against ffmpeg's ebur128 filter on the same files: a 10-minute music-like
# WAV (44.1 kHz stereo, slowly swelling and fading, so that the gates have
# work) and the minimum-requirement signals of EBU Tech 3341 (cases 1 to 5,
# 1 kHz sines in stereo, steady and in gated sequences, and case 6, five
# channels), 48 kHz. Prints the largest difference over all files and the
# time of both sides over all files, each file the best of three runs: ours
# from open to completion inside the process, ffmpeg's whole run.
#   run-loudness.sh [ANALYSE_WAV_EXE]
set -euo pipefail
. "$(dirname "$0")/../../scripts/lib.sh"
exe=${1:-$REELO_WIN_BUILD/bin/analyse_wav.exe}
[ -f "$exe" ] || { echo "bench loudness: $exe not built (scripts/build win)" >&2; exit 1; }
dir="$REELO_BUILD_ROOT/bench-media/loudness"
mkdir -p "$dir"

# tone FILE SECONDS DBFS [CHANNELS]: a 1 kHz sine whose peak is at DBFS.
tone() { sox -q -n -r 48000 -c "${4:-2}" -b 16 "$1" synth "$2" sine 1000 gain "$3"; }
# sequence FILE SECONDS:DBFS...: tones one after another.
sequence() {
  local out=$1 parts=() i=0 s
  shift
  for s in "$@"; do
    tone "$out.$i.wav" "${s%%:*}" "${s#*:}"
    parts+=("$out.$i.wav")
    i=$((i + 1))
  done
  sox -q "${parts[@]}" "$out"
  rm -f "${parts[@]}"
}
# make NAME MAKER ARGS...: runs MAKER FILE ARGS... once, under a temporary
# name first, so that a broken run leaves nothing that looks finished.
make() {
  local name=$1 maker=$2
  shift 2
  [ -f "$dir/$name" ] && return 0
  "$maker" "$dir/$name.tmp.wav" "$@"
  mv "$dir/$name.tmp.wav" "$dir/$name"
}
music() {
  sox -q -n -r 44100 -c 2 -b 16 "$1" synth 600 pinknoise sine 110:3520 tremolo 0.05 80 gain -10
}
five() {
  tone "$1.l.wav" 20 -28 1
  tone "$1.c.wav" 20 -24 1
  tone "$1.s.wav" 20 -30 1
  sox -q -M "$1.l.wav" "$1.l.wav" "$1.c.wav" "$1.s.wav" "$1.s.wav" "$1"
  rm -f "$1".?.wav
  # sox leaves the speaker positions open; L R C and the two back channels.
  printf '\x37\x00\x00\x00' | dd of="$1" bs=1 seek=40 conv=notrunc status=none
}
make music.wav music
make case1.wav tone 20 -23
make case2.wav tone 20 -33
make case3.wav sequence 10:-36 60:-23 10:-36
make case4.wav sequence 10:-72 10:-36 60:-23 10:-36 10:-72
make case5.wav sequence 20:-26 20.1:-20 20:-26
make case6.wav five
files=(music.wav case1.wav case2.wav case3.wav case4.wav case5.wav case6.wav)
now() { date +%s.%N; }

# File by file, ffmpeg and then ours, so that both meet the same load.
# ffmpeg's loudness as its metadata gives it (three decimals; the summary
# rounds to one), from the last frame.
started_x=
if [ -z "${DISPLAY:-}" ]; then
  reelo_start_xvfb
  started_x=1
  # Wine's helpers end before their X server goes away, however this ends.
  trap 'wineserver -w; reelo_stop_xvfb' EXIT
fi
baseline=0
ours=0
worst=0
for f in "${files[@]}"; do
  theirs=$(ffmpeg -nostdin -hide_banner -i "$dir/$f" -af ebur128=metadata=1,ametadata=mode=print:key=lavfi.r128.I \
    -f null - 2>&1 | sed -n 's/.*lavfi\.r128\.I=//p' | tail -n 1)
  [ -n "$theirs" ] || { echo "bench loudness: ffmpeg gave no loudness for $f" >&2; exit 1; }
  cat "$dir/$f" > /dev/null
  best=
  for run in 1 2 3; do
    t0=$(now)
    ffmpeg -nostdin -hide_banner -loglevel error -i "$dir/$f" -af ebur128 -f null -
    t=$(echo "$(now) - $t0" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  baseline=$(echo "$baseline + $best" | bc -l)

  out="$dir/$f.out"
  wine "$exe" "$(winepath -w "$dir/$f")" 3 > "$out" 2>/dev/null || true
  read -r seconds _ _ loudness _ < <(tr -d '\r' < "$out") || true
  if [ -z "${loudness:-}" ] || [ "$loudness" = none ]; then
    echo "bench loudness: no loudness measured in $f" >&2
    exit 1
  fi
  lufs=$(echo "$loudness / 100" | bc -l)
  d=$(echo "$lufs - $theirs" | bc -l | tr -d -)
  printf '%s: ours %.2f LUFS in %.3f s, ffmpeg %s LUFS in %.3f s\n' "$f" "$lufs" "$seconds" "$theirs" "$best" >&2
  if [ "$(echo "$d > $worst" | bc -l)" = 1 ]; then worst=$d; fi
  ours=$(echo "$ours + $seconds" | bc -l)
done
printf 'bench loudness: max deviation %.3f LU over %d files, ours %.3f s, baseline %.3f s, ratio %.2f\n' \
  "$worst" "${#files[@]}" "$ours" "$baseline" "$(echo "$ours / $baseline" | bc -l)"
