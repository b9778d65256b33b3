#!/usr/bin/env bash
# End-to-end test of the signals that end the program, on the sample data.
#
#   1st start, whose scene first reads a long clip: SIGTERM while it is read
#     ends the start-up before the next scene section, without a window; exit
#     code 0 and "cvar.ini" written.
#   2nd start: SIGHUP once the window is up ends the program like SIGTERM:
#     exit code 0, "cvar.ini" written.
#   3rd start: SIGQUIT saves "cvar.ini" and ends the program by the signal.
#   4th start: the display lost during start-up, before "cvar.ini" is read,
#     leaves the file as it was; exit code 1.
#   5th start: SIGQUIT at the same moment ends the program once the start-up
#     has read "cvar.ini", which keeps the user's values.
#   Both faults strike when the 3-D view makes its OpenGL context current
#   (tools/start_up_fault.cpp, preloaded).
#
# usage: signal_e2e.sh <tavrin> <make_sample_data> <close_window> <artifact folder>
#                     [<LeakSanitizer suppressions>...]
set -euo pipefail

e2e_name=signal_e2e
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh" "$@"

timeout 120 "$make_sample_data" "$work/data" > /dev/null || fail "make_sample_data failed"
scene="$work/data/data/scenes/default.sce"
motions="$work/data/data/motions"
cp "$scene" "$work/sample.sce"

# --- 1st start: SIGTERM during start-up --------------------------------------
run=1
note "start 1: SIGTERM while the scene is read"
# The walk's frames 80 times over: long enough to be caught in the middle.
{
  head -n 3 "$motions/walk.amc"
  for _ in $(seq 80); do tail -n +4 "$motions/walk.amc"; done
} > "$motions/long.amc"
{
  echo "// A long clip first."
  printf '* MotionData\nMotionName: long\nAMCFiles: long.amc\nBodyWeights: 0\nEND\n'
  cat "$work/sample.sce"
} > "$scene"
start_program
deadline=$((SECONDS + 60))
until grep -qs "^Loading Motion long.amc" "$work/data/log.txt"; do
  ((SECONDS < deadline)) || fail "the long clip was never read"
  kill -0 "$pid" 2> /dev/null || fail "the program ended before the long clip was read"
  sleep 0.05
done
kill -TERM "$pid"
wait_for_exit 60
[[ "$rc" == 0 ]] || fail "exit code $rc after SIGTERM during start-up"
grep -q "a stop was asked for" "$work/data/log.txt" || fail "the start-up did not stop early"
! grep -q "^Loading Motion walk.amc" "$work/data/log.txt" || fail "the scene was read on after SIGTERM"
[[ -f "$work/data/cvar.ini" ]] || fail "no cvar.ini written after SIGTERM during start-up"
check_clean_output

# --- 2nd and 3rd starts: SIGHUP, SIGQUIT ---------------------------------------
cp "$work/sample.sce" "$scene"
for signal in HUP QUIT; do
  run=$((run + 1))
  note "start $run: SIG$signal"
  rm -f "$work/data/cvar.ini"
  ulimit -c 0  # SIGQUIT's core dump
  start_program
  wait_for_window 120
  kill -"$signal" "$pid"
  wait_for_exit 60
  expected=0
  [[ "$signal" == QUIT ]] && expected=$((128 + 3))
  [[ "$rc" == "$expected" ]] || fail "exit code $rc after SIG$signal, not $expected"
  [[ "$(cvar_value "$work/data/cvar.ini" gl.width)" == 640 ]] || fail "no cvar.ini written after SIG$signal"
done

# --- 4th and 5th starts: the display lost, SIGQUIT, during start-up -----------
fault_library=$(dirname "$close_window")/libstart_up_fault.so
[[ -f "$fault_library" ]] || fail "no $fault_library"
# Not the defaults, in an order of the user's, with a name no code declares.
user_cvars=$'1 only.in.file 3\n2 camera.hdist 6.500000\n1 gl.width 790\n'
for fault in display quit; do
  run=$((run + 1))
  note "start $run: $fault during start-up"
  printf '%s' "$user_cvars" > "$work/data/cvar.ini"
  ulimit -c 0
  TAVRIN_START_UP_FAULT=$fault LD_PRELOAD=$fault_library start_program
  wait_for_exit 60
  if [[ "$fault" == display ]]; then
    [[ "$rc" == 1 ]] || fail "exit code $rc after the display was lost, not 1"
    [[ "$(cat "$work/data/cvar.ini")"$'\n' == "$user_cvars" ]] || fail "cvar.ini changed before it was read"
    grep -qF 'App: the connection to the display is lost; "cvar.ini" is not read yet and is left as it is' \
      "$work/data/log.txt" || fail "log.txt does not tell the lost display"
  else
    [[ "$rc" == $((128 + 3)) ]] || fail "exit code $rc after SIGQUIT during start-up, not $((128 + 3))"
    for entry in "gl.width 790" "camera.hdist 6.500000" "only.in.file 3"; do
      [[ "$(cvar_value "$work/data/cvar.ini" "${entry% *}")" == "${entry#* }" ]] || fail "cvar.ini lost $entry"
    done
    grep -qF 'App: SIGQUIT: "cvar.ini" is saved' "$work/data/log.txt" || fail "log.txt does not tell the save"
  fi
done

note "passed"
