#!/usr/bin/env bash
# A movie long enough to switch to full screen and back while it plays.
set -euo pipefail
dir=$1
mkdir -p "$dir"
[ -s "$dir/movie.avi" ] && exit 0
ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=15 -f lavfi -i sine=frequency=440:sample_rate=22050 \
  -t 15 -c:v mjpeg -q:v 8 -c:a pcm_s16le "$dir/movie.tmp.avi"
mv "$dir/movie.tmp.avi" "$dir/movie.avi"
