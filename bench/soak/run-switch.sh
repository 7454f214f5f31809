#!/usr/bin/env bash
# Starts the demo's files one after another through the controller, RUNS
# times in fresh processes, and counts the runs that crashed. Each run starts
# STARTS files, each held for HOLD_MS ms (0: played to its end).
#   run-switch.sh RUNS STARTS HOLD_MS [FILE...]   (default: the demo files)
# REELO_SWITCH_EXE: another build of soak_switch.exe (beside TsFilter.dll).
set -uo pipefail
. "$(dirname "$0")/../../scripts/lib.sh"
runs=${1:-5}; starts=${2:-30}; hold=${3:-700}
shift 3 2>/dev/null || shift $#
exe=${REELO_SWITCH_EXE:-$REELO_WIN_BUILD/bin/soak_switch.exe}
[ -f "$exe" ] || { echo "run-switch: $exe not built" >&2; exit 1; }
# Wine's desktop starts with the first Wine program (winepath too) and keeps
# the display it found then.
reelo_start_xvfb
reelo_start_wine
files=()
if [ $# -gt 0 ]; then
  for f in "$@"; do files+=("$(winepath -w "$f")"); done
else
  "$REELO_ROOT/scripts/make-demo-media" >/dev/null
  for f in "$REELO_DEMO_DIR"/スイープ.mp3 "$REELO_DEMO_DIR"/テスト映像.avi "$REELO_DEMO_DIR"/ラ音*.wav; do
    files+=("$(winepath -w "$f")")
  done
fi
# A crash ends the program with a backtrace (in the run's .out) instead of a dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
log=$REELO_BUILD_ROOT/switch-logs/$(basename "$exe" .exe); mkdir -p "$log"
crashes=0
for i in $(seq 1 "$runs"); do
  timeout 600 wine "$exe" "$starts" "$hold" "${files[@]}" > "$log/run-$i.out" 2> "$log/run-$i.err"
  rc=$?
  line=$(tr -d '\r' < "$log/run-$i.out" | grep '^soak_switch:' | tail -n 1)
  if [ $rc -ne 0 ] || [ -z "$line" ]; then crashes=$((crashes + 1)); fi
  echo "run $i: exit $rc ${line#soak_switch: }"
done
reelo_stop_wine
reelo_stop_xvfb
echo "switch: $crashes of $runs runs crashed or failed"
