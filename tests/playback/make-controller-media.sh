#!/usr/bin/env bash
# One-second media for the controller's play-list tests.
#   make-media.sh DIR
set -euo pipefail
dir=$1
mkdir -p "$dir"
script=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
cd "$dir"
stamp=$(md5sum < "$script" | cut -c1-32)
[ "$(cat .done 2>/dev/null)" = "$stamp" ] && exit 0
sox -q -n -r 22050 -c 1 -b 16 tone-a.wav synth 1 sine 440 gain -6
sox -q -n -r 22050 -c 1 -b 16 tone-b.wav synth 1 sine 660 gain -6
ffmpeg -loglevel error -nostdin -y -f lavfi -i testsrc=size=160x120:rate=25 \
  -f lavfi -i sine=frequency=550:sample_rate=22050 -t 1 -c:v mjpeg -q:v 5 -c:a pcm_s16le movie.avi
# Broken media: nothing at all, noise, a movie cut short, text.
: > empty.mp3
LC_ALL=C awk 'BEGIN { srand(7); for (i = 0; i < 65536; i++) printf "%c", int(rand() * 256) }' > noise.wav
head -c "$(( $(stat -c %s movie.avi) / 3 ))" movie.avi > cut-short.avi
printf 'This is not music.\r\nJust a few lines of text.\r\n' > text.mp3
echo "$stamp" > .done
