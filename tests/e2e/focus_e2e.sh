#!/usr/bin/env bash
# End-to-end test of where the keyboard goes, under a window manager
# (openbox), in two starts on the generated sample data:
#
#   1st start, without touching the pointer: "camera.track 0" typed into the
#     console lets the camera roam, the back-quote key closes the console and
#     the held Right key moves the camera (the picture changes) and changes
#     nothing in the notebook (its tabs, the "Camera" page). The window
#     resized to 1 x 1 stays at the smallest size that its size hints give
#     (no smaller than 700 x 400); resized to 700 x 500, to 1100 x 800 and
#     back to its first size, the 3-D view alone takes each change (it ends at
#     640 x 480 again). "cvar.ini" then still holds camera.speed 1.4.
#   2nd start: the camera roams as before; after a click on the knob of the
#     "Camera Speed" slider and the pointer moved over the 3-D view, the held
#     Right key again moves the camera and changes nothing in the notebook.
#     Then "0" typed into the player strip's speed spin control (after End
#     and three BackSpaces) stays there when the pointer moves back over the
#     view (the control takes its value as the focus leaves it); the
#     back-quote key opens the console, and "quit" typed there ends the
#     program with exit code 0, which it would not if the spin control's keys
#     had also reached the console line. "cvar.ini" still holds camera.speed
#     1.4.
# The page's controls are found in screenshots: the selected tab is
# underlined, a slider's filled part is blue, the strip is white.
#
# usage: focus_e2e.sh <tavrin> <make_sample_data> <close_window> <artifact folder>
#                 [<LeakSanitizer suppressions>...]
set -euo pipefail

e2e_name=focus_e2e
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh" "$@"

wm=""
trap '[[ -n "$wm" ]] && kill "$wm" 2> /dev/null; cleanup' EXIT
start_openbox

press() { timeout 10 xdotool key --delay 50 "$@" || fail "cannot press $*"; }

# Pixels of the view's lower part (the ground near the camera) that change
# while Right is held (not Up or Down: they would also recall the console's
# history into its line; not Left after Right: a focused slider would end
# where it was): a roaming camera that moves changes tens
# of thousands, the animation alone a few thousand. The camera steps once a
# frame while the key is down: the key is held until the picture has changed
# that much, however many frames that takes, within 30 s.
hold_right() { timeout 10 xdotool keydown Right sleep 0.2 keyup Right || fail "cannot hold the Right key"; }
arrows_move_camera() {
  frame_shot
  cp "$work/frame.png" "$work/frame_before.png"
  screenshot "$view" "$work/before.png"
  step_until_view_changes 640x200+0+280 20000 30 hold_right
  cp "$work/after.png" "$artifacts/${e2e_name}_run${run}_$1.png"
  local moved=$changed
  ((moved > 20000)) || fail "$1: the arrow keys did not move the camera ($moved pixels changed in $steps holds)"
  # The notebook beside the view (its tabs and the "Camera" page) as it was.
  frame_shot
  local page
  page=$(region_difference "$work/frame_before.png" "$work/frame.png" \
    "$((frame_w - view_x - 640 - 4))x480+$((view_x + 640 + 4))+$view_y")
  ((page == 0)) || fail "$1: the arrow keys changed the notebook ($page pixels)"
  note "$1: $moved pixels of the view changed, none of the notebook"
}

# With the console open: the camera roams freely; then the console closes.
roam_and_close_console() {
  timeout 20 xdotool type --delay 25 "camera.track 0" || fail "cannot type camera.track"
  press Return grave
  wait_until 30 console_closed || fail "the back-quote key did not close the console"
}

# The frame is the window manager's active window (typed keys reach it),
# its view draws frames, and the console, open at start, has slid in.
window_ready() {
  [[ "$(timeout 5 xdotool getactivewindow 2> /dev/null)" == "$window" ]] && console_open_to 360
}

camera_speed_kept() {
  [[ "$(cvar_value "$work/data/cvar.ini" camera.speed)" == 1.400000 ]] ||
    fail "camera.speed is $(cvar_value "$work/data/cvar.ini" camera.speed) in cvar.ini, not 1.400000"
}

# Whether the window is $1 x $2 with the 3-D view larger than at the first
# size by the whole change.
window_and_view_are() {
  [[ "$(window_field "$window" Width)x$(window_field "$window" Height)" == "$1x$2" &&
     -n "$(view_window "$window" $((640 + $1 - frame_w)) $((480 + $2 - frame_h)))" ]]
}

# Asks the window manager for a client area of $1 x $2; the window it allows
# is no smaller than its size hints' minimum.
resize_window() {
  local w=$(($1 > min_w ? $1 : min_w)) h=$(($2 > min_h ? $2 : min_h))
  timeout 10 xdotool windowsize "$window" "$1" "$2" || fail "cannot resize the window to $1 x $2"
  wait_until 30 window_and_view_are "$w" "$h" ||
    fail "asked for $1 x $2: no $w x $h window with a view $((w - frame_w)) x $((h - frame_h)) larger"
  screenshot "$window" "$artifacts/${e2e_name}_size_${1}x$2.png"
}

# The first size, once the decorations are known: 800 x 630 with them.
first_size() {
  read -r l r t b < <(timeout 10 xprop -id "$window" _NET_FRAME_EXTENTS | tr -d , | awk 'NF == 6 {print $3, $4, $5, $6}') &&
    frame_w=$(window_field "$window" Width) frame_h=$(window_field "$window" Height) &&
    ((frame_w + l + r == 800 && frame_h + t + b == 630)) && window_and_view_are "$frame_w" "$frame_h"
}

start_and_find_view() {
  start_program
  wait_for_window 180
  find_view
  view_x=$(window_field "$view" "Relative upper-left X")
  view_y=$(window_field "$view" "Relative upper-left Y")
  frame_w=$(window_field "$window" Width)
  frame_h=$(window_field "$window" Height)
}

write_sample_data "$work/data"

# --- 1st start -------------------------------------------------------------
run=1
note "start 1: the keyboard at start"
# The pointer stays away from the window.
timeout 10 xdotool mousemove 1279 1023 || fail "cannot move the pointer"
start_and_find_view
wait_until 60 window_ready || fail "the window is not active with its console open"
roam_and_close_console
arrows_move_camera "fresh start"
wait_until 30 first_size || fail "no frame of 800 x 630 with a 640 x 480 view"
read -r min_w min_h < <(timeout 10 xprop -id "$window" WM_NORMAL_HINTS | awk '/minimum size/ {print $(NF - 2), $NF}') || true
((${min_w:-0} >= 700 && ${min_h:-0} >= 400)) || fail "the window may shrink to ${min_w:-any} x ${min_h:-any}"
for size in "1 1" "700 500" "1100 800" "$frame_w $frame_h"; do resize_window $size; done
timeout 10 "$close_window" "$title" > /dev/null || fail "the close request could not be sent"
wait_for_exit 60
[[ "$rc" == 0 ]] || fail "exit code $rc after the close request"
camera_speed_kept
check_clean_output

# --- 2nd start -------------------------------------------------------------
run=2
note "start 2: a slider clicked, then the view; the speed spin control"
start_and_find_view
pointer_to "$view" 320 240
wait_until 60 window_ready || fail "the window is not active with its console open"
roam_and_close_console
frame_shot
# The page lies under the selected tab's blue underline, right of the view;
# the first row under it with a run of blue is the "Camera Speed" slider's
# filled part, which ends at the knob.
page_top=$(column_colours $((view_x + 640 + 60)) "$view_y" 100 |
  awk -v base="$view_y" '$1 == "#3584E4" { last = NR - 1 } END { if (last != "") print base + last + 1 }')
[[ -n "$page_top" ]] || fail "no selected notebook tab"
page_x=$((view_x + 640 + 6))
read -r slider_y knob_x < <(
  for ((y = page_top + 5; y < page_top + 300; y++)); do
    row_colours "$y" "$page_x" $((frame_w - page_x)) |
      awk -v y="$y" -v base="$page_x" '$1 == "#3584E4" { if (first == "") first = NR; last = NR }
        END { if (last - first > 4) print y, base + last + 9 }'
  done | head -n 1)
[[ -n "$slider_y" ]] || fail "no camera speed slider on the page"
note "speed slider at y $slider_y, knob at x $knob_x"
# The X server hands the program the click, the pointer's entering the view
# (which takes the focus) and the keys in the order they were made. The
# slider is drawn anew as the pointer leaves it: the console opened and
# closed again shows that the program has got that far (GTK redraws its
# controls before the next frame of the view), so the notebook's picture
# before the keys is the settled one.
pointer_to "$window" "$knob_x" "$slider_y"
timeout 10 xdotool click 1 || fail "cannot click the slider"
pointer_to "$view" 320 240
press grave
console_shown() { ! console_closed; }
wait_until 30 console_shown || fail "the back-quote key did not open the console"
press grave
wait_until 30 console_closed || fail "the back-quote key did not close the console"
arrows_move_camera "slider clicked, pointer over the view"

# The strip: white under the view; its row of controls, 5 pixels above its
# bottom, runs left to right: seven buttons, then the speed spin control,
# whose text field starts 5 pixels right of the last button.
below=$((view_y + 480))
read -r strip_top strip_bottom < <(column_colours $((frame_w - 3)) "$below" $((frame_h - below)) |
  awk -v base="$below" '$1 == "#FFFFFF" && !done { if (top == "") top = NR - 1; bottom = NR - 1; next }
                        top != "" { done = 1 } END { print base + top, base + bottom }')
[[ -n "$strip_top" ]] || fail "no player strip under the view"
row_y=$((strip_bottom - 5 - 17))
controls=$(row_colours "$row_y" 0 "$frame_w" |
  awk '{ white = ($1 == "#FFFFFF") }
       !white && start == "" { start = NR - 1 }
       white && start != "" { if (NR - 1 - start > 15) printf "%d ", NR - 2; start = "" }')
read -r -a control_end <<< "$controls"
((${#control_end[@]} >= 7)) || fail "found ${#control_end[@]} controls in the strip's row, not 7 buttons"
spin_x=$((control_end[6] + 5 + 12))
spin_region=40x24+$((spin_x - 8))+$((row_y - 12))
cp "$work/frame.png" "$work/spin_before.png"
pointer_to "$window" "$spin_x" "$row_y"
timeout 10 xdotool click 1 || fail "cannot click the speed spin control"
press End BackSpace BackSpace BackSpace 0
# The view takes the focus as the pointer enters it, and the spin control
# its value as it loses the focus; the console opening on the back-quote key
# shows that the program has got that far (it is handed the events in order,
# and GTK redraws the control before the next frame of the view).
pointer_to "$view" 320 240
press grave
wait_until 30 console_open_to 360 || fail "the back-quote key did not open the console"
frame_shot
cp "$work/frame.png" "$artifacts/${e2e_name}_spin_typed.png"
changed=$(region_difference "$work/spin_before.png" "$work/frame.png" "$spin_region")
((changed > 20)) || fail "the speed spin control does not show what was typed ($changed pixels changed)"
timeout 20 xdotool type --delay 25 "quit" || fail "cannot type quit"
press Return
wait_for_exit 30
[[ "$rc" == 0 ]] || fail "exit code $rc after \"quit\": the console line held more than \"quit\""
camera_speed_kept
check_clean_output

note "passed; screenshots in $artifacts"
