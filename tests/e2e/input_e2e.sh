#!/usr/bin/env bash
# End-to-end test of the user's input: the real X keyboard and pointer drive
# the console and the camera, in two starts on the generated sample data.
#
#   1st start: the back-quote key closes the console (the view shows the scene)
#     and opens it again; Alt+Enter twice enlarges the view to the screen and
#     puts it back; "camera.hdist", the keypad plus, "6", Enter sets the
#     variable; "quit", Enter ends the program with exit code 0 and
#     "cvar.ini" holds "2 camera.hdist 6.000000".
#   2nd start: with the graph walk quiet ("graph.debug" 0), "help" shows its
#     own lines above the console's prompt; "character.create walk" adds a
#     character in front of the camera; with the console closed and the camera
#     roaming freely, the arrow keys and a left-button drag move the picture
#     far more than the animation alone does; "camera.track 1 consoleplayer"
#     makes the camera follow the walking character (it plans new paths).
#   Both logs show the keyboard and the mouse loaded, the joystick missing and
#     no other error.
#
# usage: input_e2e.sh <tavrin> <make_sample_data> <close_window> <artifact folder>
#                 [<LeakSanitizer suppressions>...]
set -euo pipefail

e2e_name=input_e2e
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh" "$@"

# Types text and keys into the focused window.
type_text() { timeout 20 xdotool type --delay 25 "$1" || fail "cannot type \"$1\""; }
press() { timeout 10 xdotool key --delay 25 "$@" || fail "cannot press $*"; }
enter_line() {
  type_text "$1"
  press Return
}

# The pixels that change in `region` of the view over `seconds` while
# "$@" runs (nothing: the animation alone).
change_over() {
  local region=$1 seconds=$2
  shift 2
  screenshot "$view" "$work/before.png"
  "$@"
  sleep "$seconds"
  screenshot "$view" "$work/after.png"
  region_difference "$work/before.png" "$work/after.png" "$region"
}
# The camera moves a step each frame while the key is held: short holds
# (too short for the key to repeat) keep the scene in sight.
hold_up_arrow() { timeout 10 xdotool keydown Up sleep 0.1 keyup Up || fail "cannot hold Up"; }
# GTK merges pointer motions that come faster than its frames: the drag
# moves as a hand does, a step at a time.
left_drag() {
  timeout 10 xdotool mousemove --window "$view" 320 300 mousedown 1 sleep 0.1 \
    mousemove --window "$view" 330 300 sleep 0.1 mousemove --window "$view" 340 296 sleep 0.1 mouseup 1 ||
    fail "cannot drag"
}

# Writes the console's text line $2 above the prompt (1 the newest) in the
# picture $1 to $3: a band of one line pitch (12-pixel font + 5), placed from
# the top of the prompt's "]", the only white text in the open console (the
# top 360 rows of the 480-row view), and without the view's outer columns,
# which the console's background leaves uncovered.
console_line() {
  local box top
  box=$(timeout 30 convert "$1" -crop 640x360+0+0 +repage -fill black +opaque white -format "%@" info:) ||
    fail "cannot find the console's prompt"
  top=${box##*+}
  ((top > 17 * $2 + 3)) || fail "no room for console line $2 above the prompt (white box $box)"
  crop "$1" "$3" "638x17+1+$((top - 17 * $2 - 3))" || fail "cannot crop console line $2"
}

# "help" prints eleven lines, the newest at the bottom: an empty line, the
# banner, eight lines of text and the banner again. So, counted up from the
# prompt, lines 1 and 10 are the same banner, lines 2 to 9 are text unlike
# it, and line 11 is empty. A screenshot of the view into $1, and whether it
# shows them; `help_problem` tells what it shows instead.
help_lines_shown() {
  local k blank
  screenshot "$view" "$1"
  for k in $(seq 1 11); do console_line "$1" "$k" "$work/help_line_$k.png"; done
  blank=$(pixel_difference "$work/help_line_1.png" "$work/help_line_11.png")
  help_problem="no banner line above the prompt ($blank pixels of text)"
  ((blank > 100)) || return 1
  help_problem="the line before its banner is not empty"
  [[ "$(colour_count "$work/help_line_11.png")" == 1 ]] || return 1
  help_problem="its first and last banner lines differ"
  [[ "$(pixel_difference "$work/help_line_1.png" "$work/help_line_10.png")" == 0 ]] || return 1
  for k in $(seq 2 9); do
    help_problem="its line $k is its banner"
    (($(pixel_difference "$work/help_line_1.png" "$work/help_line_$k.png") > 0)) || return 1
    help_problem="its line $k is empty"
    (($(colour_count "$work/help_line_$k.png") > 1)) || return 1
  done
}

check_devices_logged() {
  local log="$work/data/log.txt"
  grep -q "^DXKeyboard: Loaded keyboard device - " "$log" || fail "the keyboard did not load"
  grep -q "^DXMouse: Loaded mouse device - " "$log" || fail "the mouse did not load"
  grep -q "^DXJoystick: Can't create joystick device - " "$log" || fail "no word of the missing joystick"
  grep -q "^GlobalInputInit(): Input Initialization FAILED" "$log" || fail "no input summary line"
  local errors
  errors=$(grep -E "^DX|Unable to Initialize|reacquire" "$log" | grep -vE "^DX(Keyboard|Mouse): Loaded |^DXJoystick: Can't create joystick device - " | head -n 3 || true)
  [[ -z "$errors" ]] || fail "unexpected device lines: $errors"
}

write_sample_data "$work/data"

# --- 1st start -------------------------------------------------------------
run=1
note "start 1: console key, typed assignment, quit"
start_program
wait_for_window 180
find_view
# The pointer over the view gives it the keyboard focus; the console, open
# at start, slides in.
pointer_to "$view" 320 240
wait_until 60 console_open_to 360 || fail "the console did not slide open"
cp "$work/view_now.png" "$work/open.png"
press grave
wait_until 30 console_closed || fail "the back-quote key did not close the console"
cp "$work/view_now.png" "$work/closed.png"
cp "$work/closed.png" "$artifacts/input_e2e_console_closed.png"
# The open console covers the top three quarters; closed, the scene shows there.
changed=$(region_difference "$work/open.png" "$work/closed.png" 640x300+0+20)
((changed > 100000)) || fail "the back-quote key did not close the console ($changed pixels changed)"
press grave
wait_until 30 console_open_to 360 || fail "the back-quote key did not open the console again"
# Alt+Enter: the view fills the screen; again: it is back at its size.
view_enlarged() { [[ -z "$(view_window "$window" 640 480)" ]]; }
view_restored() { [[ -n "$(view_window "$window" 640 480)" ]]; }
press alt+Return
wait_until 30 view_enlarged || fail "Alt+Enter did not enlarge the view"
press alt+Return
wait_until 30 view_restored || fail "the second Alt+Enter did not restore the view"
type_text "camera.hdist"
press KP_Add 6 Return
screenshot "$view" "$artifacts/input_e2e_assigned.png"
enter_line "quit"
wait_for_exit 30
[[ "$rc" == 0 ]] || fail "exit code $rc after \"quit\""
[[ "$(cvar_value "$work/data/cvar.ini" camera.hdist)" == 6.000000 ]] ||
  fail "cvar.ini lacks \"2 camera.hdist 6.000000\""
check_devices_logged
check_clean_output

# --- 2nd start -------------------------------------------------------------
run=2
note "start 2: help, a new character, arrow keys, drag, tracking"
start_program
wait_for_window 120
find_view
pointer_to "$view" 320 240
wait_until 60 console_open_to 360 || fail "the console did not slide open"
# The graph walk writes into the console several times a second; quiet, the
# console shows only what "help" prints.
type_text "graph.debug"
press KP_Add 0 Return
enter_line "help"
wait_until 30 help_lines_shown "$artifacts/input_e2e_help.png" || fail "\"help\": $help_problem"

enter_line "camera.track 0"
enter_line "character.create walk"
press grave
wait_until 30 console_closed || fail "the back-quote key did not close the console"
cp "$work/view_now.png" "$artifacts/input_e2e_created.png"
# The animation alone over a moment; then a drag of 20 pixels to the right
# (3 units: what the picture shows of it comes with the next frames); then
# the up arrow held, a moment at a time, until the picture has changed
# that much (the camera steps once a frame while it is down).
still=$(change_over 640x480+0+0 0.4 true)
bar=$((3 * still + 5000))
screenshot "$view" "$work/before.png"
left_drag
step_until_view_changes 640x480+0+0 "$bar" 30 sleep 0.1
cp "$work/after.png" "$artifacts/input_e2e_after_drag.png"
((changed > bar)) || fail "the drag moved too little ($changed pixels against $still)"
screenshot "$view" "$work/before.png"
step_until_view_changes 640x480+0+0 "$bar" 30 hold_up_arrow
cp "$work/after.png" "$artifacts/input_e2e_after_arrows.png"
((changed > bar)) || fail "the up arrow moved too little ($changed pixels against $still in $steps holds)"
# Each hold also stepped back through the console's history; as many Downs
# restore the empty line.
for ((k = 0; k < steps; k++)); do press Down; done

press grave
wait_until 30 console_open_to 360 || fail "the back-quote key did not open the console"
plotted=$(grep -c "plotting new spline" "$work/data/out.txt" || true)
enter_line "camera.track 1 consoleplayer"
press grave
# The walking character moves on: the camera plans new paths after it.
follows() { (($(grep -c "plotting new spline" "$work/data/out.txt" || true) > plotted + 1)); }
wait_until 60 follows || fail "the camera does not follow the walking character"
screenshot "$view" "$artifacts/input_e2e_tracking.png"
timeout 10 "$close_window" "$title" > /dev/null || fail "the close request could not be sent"
wait_for_exit 60
[[ "$rc" == 0 ]] || fail "exit code $rc after the close request"
check_devices_logged
check_clean_output

note "passed; screenshots in $artifacts"
