# Common environment for the project's scripts. Source it; do not run it.
# Everything Wine touches (prefix, HOME with the ALSA null device) lives inside
# the checkout and is git-ignored, so nothing outside it is changed.
REELO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export REELO_ROOT
export WINEPREFIX="${REELO_WINEPREFIX:-$REELO_ROOT/.wine}"
export REELO_HOME="${REELO_HOME:-$REELO_ROOT/.home}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
# REELO_BUILD_ROOT and REELO_WINEPREFIX may be set to keep several work trees
# (or several people in one tree) apart.
export REELO_BUILD_ROOT="${REELO_BUILD_ROOT:-$REELO_ROOT/build}"
export REELO_NATIVE_BUILD="$REELO_BUILD_ROOT/native"
export REELO_WIN_BUILD="$REELO_BUILD_ROOT/win"
export REELO_FUZZ_BUILD="$REELO_BUILD_ROOT/fuzz"
export REELO_DEMO_DIR="$REELO_ROOT/.demo"

# Wine and the tests it runs see this HOME (for ~/.asoundrc).
export HOME="$REELO_HOME"

reelo_log() { printf '[reelo] %s\n' "$*" >&2; }

# Start a private X server when none is reachable; sets DISPLAY.
reelo_start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${REELO_FORCE_XVFB:-}" ] && xset q >/dev/null 2>&1; then
    return 0
  fi
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    REELO_XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && return 0
      sleep 0.1
    done
  done
  reelo_log "could not start Xvfb"
  return 1
}

reelo_stop_xvfb() {
  if [ -n "${REELO_XVFB_PID:-}" ]; then
    kill "$REELO_XVFB_PID" 2>/dev/null || true
    wait "$REELO_XVFB_PID" 2>/dev/null || true
    REELO_XVFB_PID=
  fi
}

# A persistent wineserver plus Wine's services, so that ctest does not wait
# for Wine's helper processes after every test.
reelo_start_wine() {
  wineserver -p >/dev/null 2>&1 || true
  wine cmd /c exit >/dev/null 2>&1 || true
}

reelo_stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

# The demo's command line for Reelo: every demo file, then the demo folder
# itself (a folder entry), as Windows paths, one per line.
reelo_demo_args() {
  local f
  for f in "$REELO_DEMO_DIR"/*; do
    [ -f "$f" ] && winepath -w "$f"
  done
  winepath -w "$REELO_DEMO_DIR"
}
