#!/usr/bin/env bash
# Generates the short media files the playback and analysis tests play.
#   make-test-media.sh DIR
set -euo pipefail
dir=$1
mkdir -p "$dir"
script=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
cd "$dir"
stamp=$(md5sum < "$script" | cut -c1-32)
[ "$(cat .done 2>/dev/null)" = "$stamp" ] && exit 0
ff() { ffmpeg -loglevel error -nostdin -y "$@"; }
sox -q -n -r 44100 -c 1 -b 16 wav16-mono.wav synth 1.5 sine 440 gain -6
sox -q -n -r 44100 -c 2 -b 16 wav16-stereo.wav synth 1.5 sine 440 sine 660 gain -6
sox -q -n -r 16000 -c 1 -b 8 wav8.wav synth 1.5 sine 440 gain -6
sox -q -n -r 44100 -c 2 -b 24 wav24.wav synth 1.5 sine 440 gain -6
ff -f lavfi -i sine=frequency=440:sample_rate=44100:duration=1.5 -codec:a libmp3lame -b:a 128k audio.mp3
ff -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=frequency=660:sample_rate=44100 \
  -t 1.5 -c:v mjpeg -q:v 5 -c:a pcm_s16le movie-mjpeg.avi
ff -f lavfi -i testsrc=size=160x120:rate=25 -t 1.5 -c:v mjpeg -q:v 5 video-only.avi
ff -f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine=frequency=660:sample_rate=44100 \
  -t 1.5 -c:v mpeg1video -c:a mp2 -b:a 128k -f mpeg movie.mpg
ff -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=frequency=660:sample_rate=44100 \
  -t 1.5 -c:v libx264 -pix_fmt yuv420p -preset ultrafast -c:a aac -b:a 96k movie.mp4
# Trail bytes 0x5C ('\') in code page 932.
cp wav16-mono.wav "ソ表能.wav"
printf 'this is not a movie\n' > not-a-movie.avi
echo "$stamp" > .done
