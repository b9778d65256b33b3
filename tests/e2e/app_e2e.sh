#!/usr/bin/env bash
# End-to-end test of the program: two starts in a fresh working folder that
# holds the generated sample data, driven from outside as a user would.
#
#   1st start (no "cvar.ini"): the window "Tavrin v1" appears at (50, 50) with
#     an outer size of 800 x 630; "log.txt" shows the extension loader's
#     success before the scene and every motion of the scene loaded; the 3-D
#     view is a picture, not one flat colour; a window manager's close request
#     ends the program with exit code 0 and it writes "cvar.ini".
#   Between the starts, two saved values are changed in "cvar.ini", and
#     temporary files of a killed writer and of one that still holds its file
#     are left.
#   2nd start: the killed writer's temporary files are gone, the held one is
#     kept; the view has the saved width; a later screenshot differs from an
#     earlier one where the characters stand (below the console); Alt-X (the
#     menu accelerator, which must get past the application's key handler)
#     ends the program with exit code 0, and the changed values survive its
#     save.
# No output or log line may be a GTK/GLib critical message, a failed
# assertion or a sanitizer report.
#
# usage: app_e2e.sh <tavrin> <make_sample_data> <close_window> <artifact folder>
#                 [<LeakSanitizer suppressions>...]
# The screenshots (and, on failure, the program's output and log) are left in
# the artifact folder. The test runs on an X server of its own (Xvfb, no
# window manager), never on the user's display: it moves the pointer and types.
set -euo pipefail

e2e_name=app_e2e
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh" "$@"

# ---------------------------------------------------------------------------

note "sample data"
timeout 120 "$make_sample_data" "$work/data" > /dev/null || { run=0; fail "make_sample_data failed"; }
motions=$(sed -n 's/^AMCFiles://p' "$work/data/data/scenes/default.sce" | tr ',' ' ')
[[ -n "${motions// /}" ]] || fail "the sample scene names no motion files"
mkdir -p "$artifacts"
rm -f "$artifacts"/app_e2e_*  # nothing left over from an earlier run

# --- 1st start -------------------------------------------------------------
run=1
note "start 1: window, log, picture, close request"
start_program
# The first start parses every clip and generates the transition graphs.
wait_for_window 180
geometry() {
  geometry="$(window_field "$window" "Absolute upper-left X"),$(window_field "$window" "Absolute upper-left Y")"
  geometry+=" $(window_field "$window" Width)x$(window_field "$window" Height)"
  [[ "$geometry" == "50,50 800x630" ]]
}
wait_until 30 geometry || fail "the window is at $geometry, not at 50,50 800x630"
check_log_start_up

view=$(view_window "$window" 640 480)
[[ -n "$view" ]] || fail "no 640 x 480 view window (gl.width x gl.height) in the frame"
# The first frames come a moment after the window.
wait_until 60 view_shows_scene || true
cp "$work/view_now.png" "$artifacts/app_e2e_view_start.png"
colours=$(colour_count "$artifacts/app_e2e_view_start.png") || fail "cannot count colours"
((colours > 16)) || fail "the 3-D view shows only $colours colours"

timeout 10 "$close_window" "$title" > /dev/null || fail "the close request could not be sent"
wait_for_exit 60
[[ "$rc" == 0 ]] || fail "exit code $rc after the close request"
[[ -f "$work/data/cvar.ini" ]] || fail "no cvar.ini written at shutdown"
[[ "$(cvar_value "$work/data/cvar.ini" gl.width)" == 640 ]] || fail "cvar.ini lacks gl.width 640"
[[ "$(cvar_value "$work/data/cvar.ini" gl.height)" == 480 ]] || fail "cvar.ini lacks gl.height 480"
check_clean_output

# --- between the starts ----------------------------------------------------
# A narrower view, and a console that covers only the top fifth of it so the
# characters show below it.
sed -i -e 's/^1 gl\.width .*/1 gl.width 600/' -e 's/^2 console\.overlay .*/2 console.overlay 0.200000/' \
  "$work/data/cvar.ini"
[[ "$(cvar_value "$work/data/cvar.ini" gl.width)" == 600 &&
   "$(cvar_value "$work/data/cvar.ini" console.overlay)" == 0.200000 ]] ||
  fail "cannot change the saved values in cvar.ini"
# Temporary files that a killed run left (its writer is gone: removed at the
# next start) and one that a writer still holds (kept, though the process id
# in its name runs nowhere here, as that of a writer in another container).
dead=$(sh -c 'echo $$')
left=("$work/data/walk_graph.gra.tmp${dead}_0" "$work/data/data/motions/walk.bin.tmp${dead}_1")
kept="$work/data/walk_graph.gra.tmp${dead}_2"
for file in "${left[@]}" "$kept"; do echo partial > "$file"; done
coproc holder { exec "$(dirname "$close_window")/hold_lock" "$kept"; }
read -r -t 30 -u "${holder[0]}" held && [[ "$held" == held ]] || fail "cannot hold $kept"

# --- 2nd start -------------------------------------------------------------
run=2
note "start 2: saved values, moving characters, Alt-X"
start_program
wait_for_window 120
check_log_start_up
for file in "${left[@]}"; do [[ ! -e "$file" ]] || fail "the start left the abandoned ${file#"$work/"}"; done
[[ -e "$kept" ]] || fail "the start removed a temporary file that a writer holds"
holder_pid=$holder_PID
eval "exec ${holder[1]}>&-"
wait "$holder_pid" || fail "the writer holding $kept failed"
grep -q "^RemoveAbandonedTemporaryFiles: removed ./walk_graph.gra.tmp${dead}_0, left by a writer" "$work/data/log.txt" ||
  fail "no log line for the removed temporary file"
view=$(view_window "$window" 600 480)
[[ -n "$view" ]] || fail "the saved gl.width 600 did not size the view"
# Below the console (top 20 %, 96 rows, however far it has slid) and above
# the frame-rate text: the characters, once drawn, move on.
scene_shows() {
  screenshot "$view" "$work/view_1.png"
  crop "$work/view_1.png" "$work/scene_1.png" 600x324+0+120 || fail "cannot crop"
  colours=$(colour_count "$work/scene_1.png") || fail "cannot count colours"
  ((colours > 16))
}
scene_moved() {
  screenshot "$view" "$work/view_2.png"
  crop "$work/view_2.png" "$work/scene_2.png" 600x324+0+120 || fail "cannot crop"
  moved=$(pixel_difference "$work/scene_1.png" "$work/scene_2.png")
  [[ "$moved" =~ ^[0-9]+$ ]] || fail "compare failed: $moved"
  ((moved > 100))
}
wait_until 60 scene_shows || fail "the scene below the console shows only $colours colours"
wait_until 30 scene_moved || fail "the scene did not change in 30 s ($moved pixels differ)"
cp "$work/view_1.png" "$artifacts/app_e2e_view_1.png"
cp "$work/view_2.png" "$artifacts/app_e2e_view_2.png"

# Alt-X through the keyboard: the pointer over the window gives it the focus
# (the X server hands the program the pointer's move before the keys).
pointer_to "$window" 300 300
timeout 10 xdotool key alt+x || fail "cannot send Alt-X"
wait_for_exit 60
[[ "$rc" == 0 ]] || fail "exit code $rc after Alt-X"
[[ "$(cvar_value "$work/data/cvar.ini" gl.width)" == 600 ]] || fail "gl.width 600 did not survive the save"
[[ "$(cvar_value "$work/data/cvar.ini" console.overlay)" == 0.200000 ]] ||
  fail "console.overlay 0.200000 did not survive the save"
check_clean_output

note "passed; screenshots in $artifacts"
