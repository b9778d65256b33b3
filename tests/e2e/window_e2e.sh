#!/usr/bin/env bash
# End-to-end test of the main window and its 3-D view, driven from outside as
# a user would, in a working folder that holds the sample skeleton and a scene
# of two characters standing still, one behind the other on the camera's
# line of sight, followed by a section that names a missing motion file.
#
#   A start without a display logs nothing, and leaves no "log.txt" of an
#   earlier run behind.
#   1st start (view 640 x 480): the view's pixel format has a depth buffer and
#     double buffering; "log.txt" names the missing motion file; the program
#     runs on and ends with exit code 0 on a close request.
#   2nd start (view 480 x 480, the two names swapped, so the other character
#     is drawn last): the picture is the middle of the first one, unstretched
#     and with the nearer character in front both times. Two SIGTERMs while
#     the About box (Ctrl-A) is open wait for it; its OK then ends the program
#     in order: exit code 0, "cvar.ini" written.
#   3rd start, under a window manager (openbox): the frame's outer size is
#     800 x 630 at (50, 50); a saved gl.width of 790 leaves the notebook a
#     width at which GTK draws it; dragging the sash to the frame's right edge
#     and double-clicking the sash leave both panes.
#   4th start, on an X server that then ends: "cvar.ini" is written.
# No output or log line may be a GTK/GLib critical message, a failed
# assertion or a sanitizer report.
#
# usage: window_e2e.sh <tavrin> <make_sample_data> <close_window> <artifact folder>
#                 [<LeakSanitizer suppressions>...]
# The screenshots (and, on failure, the program's output and log) are left in
# the artifact folder. The test runs on an X server of its own (Xvfb), never on
# the user's display.
set -euo pipefail

e2e_name=window_e2e
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh" "$@"
gl_visual=$(dirname "$close_window")/gl_visual

# The camera looks along +x at the origin from (-4.8, 2.2, 0). Characters
# without motions stand still in their rest pose; they are drawn in name
# order.
write_scene() {
  cat > "$work/data/data/scenes/default.sce" <<EOF
// Two characters on one line of sight, nearer ($1) and farther ($2).
* Character
CharacterName: $1
Position: -1 0 0
END
* Character
CharacterName: $2
Position: 1 0 0
END
* MotionData
MotionName: missing
AMCFiles: nosuch.amc
BodyWeights: 0
END
EOF
}

# Closes the window as a window manager would; the program must end with
# exit code 0 and print nothing it should not.
close_program() {
  timeout 10 "$close_window" "$title" > /dev/null || fail "the close request could not be sent"
  wait_for_exit 60
  [[ "$rc" == 0 ]] || fail "exit code $rc after the close request"
  check_clean_output
}

# Stops the window manager and the extra X server of the steps below.
extras=()
trap 'for p in "${extras[@]}"; do kill "$p" 2> /dev/null || true; done; cleanup' EXIT

# Whether the view has come to rest: drawn, and the same in two screenshots
# one after the other, rows below the console and above the frame-rate text
# (the picture, once the camera has reached its place, is still).
view_at_rest() {
  view_shows_scene || return 1
  crop "$work/view_now.png" "$work/rest_2.png" "$1" || fail "cannot crop"
  local same=1
  [[ -f "$work/rest_1.png" && "$(pixel_difference "$work/rest_1.png" "$work/rest_2.png")" == 0 ]] && same=0
  mv "$work/rest_2.png" "$work/rest_1.png"
  return $same
}

# Sets `view` and `view_width` to the id and width of the 3-D view: the
# frame's native child window 480 pixels (gl.height) high.
find_view_and_width() {
  read -r view view_width < <(timeout 10 xwininfo -id "$window" -children |
    awk '{for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x480\+/) {split($i, s, "x"); print $1, s[1]; exit}}') ||
    fail "no view window 480 pixels high in the frame"
}

note "sample data"
timeout 120 "$make_sample_data" "$work/sample" > /dev/null || fail "make_sample_data failed"
mkdir -p "$work/data/data/scenes" "$artifacts"
cp "$work/sample/MartialArts.asf" "$work/data/"
rm -f "$artifacts"/window_e2e_*

# --- without a display -----------------------------------------------------
note "start without a display: log.txt starts empty"
echo "a line of an earlier run" > "$work/data/log.txt"
(cd "$work/data" && env -u DISPLAY timeout 30 "$tavrin" > out.txt 2>&1) || true
[[ ! -s "$work/data/log.txt" ]] || fail "log.txt still holds an earlier run's lines"

# --- 1st start -------------------------------------------------------------
run=1
note "start 1: pixel format, missing motion file, picture at 640 x 480"
write_scene alpha beta
# A console over the top fifth only, and a camera so fast that it stands in
# its place from the first frames.
printf '2 console.overlay 0.200000\n2 camera.speed 1000.000000\n' > "$work/data/cvar.ini"
start_program
wait_for_window 60
view=$(view_window "$window" 640 480)
[[ -n "$view" ]] || fail "no 640 x 480 view window in the frame"
buffers=$(timeout 10 "$gl_visual" "$view") || fail "cannot read the view's pixel format"
[[ "$buffers" =~ ^depth\ ([0-9]+)\ double\ 1 ]] || fail "the view is not double-buffered: $buffers"
((BASH_REMATCH[1] >= 16)) || fail "the view has a depth buffer of ${BASH_REMATCH[1]} bits"
grep -q "^LoadMotion: cannot open data/motions/nosuch.amc" "$work/data/log.txt" ||
  fail "log.txt does not name the missing motion file"
rm -f "$work/rest_1.png"
wait_until 60 view_at_rest 640x330+0+110 || fail "the view did not come to rest"
cp "$work/view_now.png" "$artifacts/window_e2e_640.png"
close_program

# --- 2nd start -------------------------------------------------------------
run=2
note "start 2: names swapped, picture at 480 x 480"
write_scene beta alpha
sed -i 's/^1 gl\.width .*/1 gl.width 480/' "$work/data/cvar.ini"
start_program
wait_for_window 60
view=$(view_window "$window" 480 480)
[[ -n "$view" ]] || fail "the saved gl.width 480 did not size the view"
rm -f "$work/rest_1.png"
wait_until 60 view_at_rest 480x330+0+110 || fail "the view did not come to rest"
cp "$work/view_now.png" "$artifacts/window_e2e_480.png"
rm "$work/data/cvar.ini"  # read at start; written again at the end
pointer_to "$view" 100 100
timeout 10 xdotool key ctrl+a || fail "cannot send Ctrl-A"
main_window=$window
title="About Tavrin" wait_for_window 30
about=$window
window=$main_window
# What is checked is that nothing happens: the program is looked at a moment
# after each signal.
kill -TERM "$pid"
sleep 0.3
kill -TERM "$pid"
sleep 0.5
kill -0 "$pid" 2> /dev/null || fail "SIGTERM ended the program while the About box was open"
timeout 5 xdotool search --onlyvisible --name "^${title}\$" > /dev/null ||
  fail "the main window vanished while the About box was open"
timeout 10 xdotool windowfocus --sync "$about" key Return || fail "cannot press OK in the About box"
wait_for_exit 60
[[ "$rc" == 0 ]] || fail "exit code $rc after SIGTERM and the About box's OK"
[[ "$(cvar_value "$work/data/cvar.ini" gl.width)" == 480 ]] || fail "no cvar.ini written after SIGTERM"
check_clean_output
# The same projection scale, so the narrower view shows the middle 480
# columns of the wider one; rows below the console and above the frame-rate
# text.
crop "$artifacts/window_e2e_640.png" "$work/middle_640.png" 480x330+80+110 || fail "cannot crop"
crop "$artifacts/window_e2e_480.png" "$work/middle_480.png" 480x330+0+110 || fail "cannot crop"
differ=$(pixel_difference "$work/middle_640.png" "$work/middle_480.png")
[[ "$differ" =~ ^[0-9]+$ ]] || fail "compare failed: $differ"
((differ < 50)) || fail "the 480 x 480 picture is not the middle of the 640 x 480 one ($differ pixels differ)"

# --- 3rd start -------------------------------------------------------------
run=3
note "start 3 under openbox: frame geometry, a narrow notebook pane, a drag to the edge, a double-click on the sash"
start_openbox
extras+=("$wm")
sed -i 's/^1 gl\.width .*/1 gl.width 790/' "$work/data/cvar.ini"
start_program
wait_for_window 60
# The decorations' sizes (left, right, top, bottom) around the client window,
# once the window manager has framed and placed it.
framed() {
  read -r left right top bottom < <(timeout 10 xprop -id "$window" _NET_FRAME_EXTENTS | tr -d ',' |
    awk '$3 ~ /^[0-9]+$/ {print $3, $4, $5, $6}') || true
  [[ -n "${bottom:-}" ]] || return 1
  outer="$(($(window_field "$window" "Absolute upper-left X") - left)),$(($(window_field "$window" "Absolute upper-left Y") - top))"
  outer+=" $(($(window_field "$window" Width) + left + right))x$(($(window_field "$window" Height) + top + bottom))"
  [[ "$outer" == "50,50 800x630" ]]
}
outer=""
wait_until 30 framed || fail "under a window manager the frame is ${outer:-without decorations}, not 50,50 800x630"
find_view_and_width
((view_width < 700)) || fail "the saved gl.width 790 left the notebook $((800 - view_width)) pixels or less"
# Looked at a moment after the drag and the double-click: what is checked is
# that the notebook is not removed.
timeout 10 xdotool mousemove --sync --window "$view" $((view_width + 2)) 200 mousedown 1 \
  mousemove_relative --sync 100 0 mousemove_relative --sync 200 0 mouseup 1 || fail "cannot drag the sash"
sleep 0.3
find_view_and_width
((view_width < 700)) || fail "dragging the sash to the right edge removed the notebook"
timeout 10 xdotool mousemove --sync --window "$view" $((view_width + 2)) 200 click --repeat 2 --delay 80 1 ||
  fail "cannot double-click the sash"
sleep 0.3
find_view_and_width
((view_width < 700)) || fail "a double-click on the sash removed the notebook"
close_program
kill "${extras[0]}"

# --- 4th start -------------------------------------------------------------
run=4
note "start 4: the X server ends"
Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp > "$work/display" 2> /dev/null &
extras+=($!)
display_named() { [[ -s "$work/display" ]]; }
wait_until 30 display_named || fail "no second X server"
own_display=$DISPLAY
export DISPLAY=":$(cat "$work/display")"
start_program
wait_for_window 60
rm "$work/data/cvar.ini"
kill "${extras[1]}"
wait_for_exit 30
export DISPLAY=$own_display
[[ -f "$work/data/cvar.ini" ]] || fail "no cvar.ini written when the X server ended (exit code $rc)"
grep -q "^App: the connection to the display is lost" "$work/data/log.txt" || fail "log.txt does not tell the lost display"
check_clean_output

note "passed; screenshots in $artifacts"
