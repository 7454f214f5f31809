# soak_media DIR COUNT: COUNT one-second tracks in DIR, alternately a WAV
# (track-000.wav) and a small MJPEG AVI with sound (track-001.avi), made once.
soak_media() {
  local dir=$1 count=$2 i ext
  mkdir -p "$dir"
  [ -f "$dir/track-$(printf %03d $((count - 1))).avi" ] && return 0
  sox -q -n -r 22050 -c 1 -b 16 "$dir/one.wav" synth 1 sine 440 gain -6
  ffmpeg -loglevel error -nostdin -y -f lavfi -i testsrc=size=160x120:rate=25 \
    -f lavfi -i sine=frequency=550:sample_rate=22050 -t 1 -c:v mjpeg -q:v 5 -c:a pcm_s16le "$dir/one.avi"
  for i in $(seq 0 $((count - 1))); do
    if (( i % 2 )); then ext=avi; else ext=wav; fi
    cp "$dir/one.$ext" "$dir/track-$(printf %03d "$i").$ext"
  done
}
