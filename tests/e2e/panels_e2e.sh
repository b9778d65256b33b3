#!/usr/bin/env bash
# End-to-end test of the control panels: the real X pointer and keyboard work
# the player strip and the "Camera" page, in one start on the generated
# sample data.
#
#   The player strip: choosing "walk" (the walking character's controller) in
#     its choice makes the frame slider follow the playing clip; "[]" puts it
#     on the first frame and keeps it there; "Play" sets it going again;
#     dragging the slider's knob to the middle halts the clip there.
#   The "Camera" page: choosing "FREEROAM" lets the arrow keys fly the camera,
#     which stays where they left it (a tracking camera glides back).
#   The window closes with exit code 0; "cvar.ini" holds "player.StepSize".
# Controls are found in screenshots by the strip's and the page's fixed
# layout: the strip is white, its row of buttons starts 5 pixels from its
# left edge with 5-pixel gaps, and the selected notebook tab is underlined.
#
# usage: panels_e2e.sh <tavrin> <make_sample_data> <close_window> <artifact folder>
#                 [<LeakSanitizer suppressions>...]
set -euo pipefail

e2e_name=panels_e2e
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh" "$@"

press() { timeout 10 xdotool key --delay 50 "$@" || fail "cannot press $*"; }
click_at() { pointer_to "$window" "$1" "$2"; timeout 10 xdotool click 1 || fail "cannot click at $1,$2"; }

# Sets strip_top and strip_bottom: the white band under the view, seen in the
# strip's right margin.
find_strip() {
  local below=$((view_y + view_h))
  read -r strip_top strip_bottom < <(column_colours $((frame_w - 3)) "$below" $((frame_h - below)) |
    awk -v base="$below" '$1 == "#FFFFFF" && !done { if (top == "") top = NR - 1; bottom = NR - 1; next }
                          top != "" { done = 1 } END { print base + top, base + bottom }')
  [[ -n "$strip_top" ]] || fail "no player strip under the view"
}

# Sets row_y, a row through the strip's buttons, and button_x: the middle of
# each control on it, left to right ("<<", "<", "[]", "Play", ...).
find_buttons() {
  local height=$((strip_bottom - strip_top + 1))
  row_y=$((strip_top + 5 + height / 2 + 10))
  buttons=$(row_colours "$row_y" 0 "$frame_w" |
    awk '{ white = ($1 == "#FFFFFF") }
         !white && start == "" { start = NR - 1 }
         white && start != "" { if (NR - 1 - start > 15) printf "%d ", (start + NR - 2) / 2; start = "" }')
  read -r -a button_x <<< "$buttons"
  ((${#button_x[@]} >= 7)) || fail "found ${#button_x[@]} controls in the strip's button row, not 7 buttons"
}

# Sets trough_y: the row of the frame slider (the strip's upper part) that
# the longest unbroken run of coloured pixels crosses: the trough, where the
# buttons' edges under it are broken by the gaps between them.
find_trough() {
  local y best=0 count
  trough_y=""
  for ((y = strip_top + 5; y < row_y; y++)); do
    count=$(row_colours "$y" 5 $((frame_w * 3 / 4 - 10)) |
      awk '$1 == "#FFFFFF" { run = 0; next } { if (++run > longest) longest = run } END { print longest + 0 }')
    if ((count > best)); then best=$count trough_y=$y; fi
  done
  [[ -n "$trough_y" ]] || fail "no frame slider in the strip"
}

# The frame slider's filled part: the blue pixels on its trough row (grows
# with the frame shown).
slider_fill() {
  frame_shot
  row_colours "$trough_y" 0 $((frame_w * 3 / 4)) | grep -c "^#3584E4$" || true
}
# Whether the slider's filled part, `fill` afterwards, is below $1 blue
# pixels, above $1, or other than $1.
fill_below() { fill=$(slider_fill); ((fill < $1)); }
fill_above() { fill=$(slider_fill); ((fill > $1)); }
fill_not() { fill=$(slider_fill); ((fill != $1)); }
# A clip halted shows the same frame a moment later (a moment: what is
# checked is that nothing changes).
fill_stays() {
  sleep 0.5
  second=$(slider_fill)
  ((second == $1))
}

# The program's windows on the screen: the frame, and a choice's list while
# it is open.
shown_windows() { timeout 5 xdotool search --onlyvisible --pid "$pid" 2> /dev/null | wc -l; }
# Clicks the choice at ($1, $2) and waits for its list to open; the keys
# that choose an item are for the list.
list_open() { (($(shown_windows) > closed_windows)); }
list_closed() { (($(shown_windows) <= closed_windows)); }
open_choice() {
  closed_windows=$(shown_windows)
  click_at "$1" "$2"
  wait_until 30 list_open || fail "the choice at $1,$2 did not open its list"
}

write_sample_data "$work/data"

run=1
note "start: the player strip and the camera page"
start_program
wait_for_window 180
frame_w=$(window_field "$window" Width)
frame_h=$(window_field "$window" Height)
find_view
view_x=$(window_field "$view" "Relative upper-left X")
view_y=$(window_field "$view" "Relative upper-left Y")
view_h=480
# The pointer over the view gives it the keyboard focus; the back-quote key
# closes the console, so that the arrow keys fly the camera later.
pointer_to "$view" 320 240
wait_until 60 console_open_to 360 || fail "the console did not slide open"
press grave
wait_until 30 console_closed || fail "the back-quote key did not close the console"

frame_shot
find_strip
find_buttons
find_trough
note "strip at y $strip_top..$strip_bottom, buttons at x ${button_x[*]} (y $row_y), slider at y $trough_y"

# The choice stands in its box at the strip's right edge (a fifth of its
# width), 15 pixels below the box's top; "walk" is the last name.
open_choice $((frame_w - 5 - frame_w / 10)) $((strip_top + 5 + 15 + 10))
press End Return
wait_until 30 list_closed || fail "the controller choice's list did not close"
first=$(slider_fill)
wait_until 30 fill_not "$first" || true
cp "$work/frame.png" "$artifacts/panels_e2e_walk_playing.png"
((fill != first)) || fail "the slider does not follow the playing walk ($first, then $fill blue pixels)"

click_at "${button_x[2]}" "$row_y"  # "[]"
wait_until 30 fill_below 20 || true
first=$fill
fill_stays "$first" || true
cp "$work/frame.png" "$artifacts/panels_e2e_walk_stopped.png"
((first == second && second < 20)) || fail "\"[]\" did not stop walk on its first frame ($first, $second blue pixels)"

click_at "${button_x[3]}" "$row_y"  # "Play"
wait_until 30 fill_not "$second" || fail "\"Play\" did not set walk going ($second, then $fill blue pixels)"

click_at "${button_x[2]}" "$row_y"  # "[]": the knob back at the left end
wait_until 30 fill_below 20 || fail "\"[]\" did not put walk back on its first frame ($fill blue pixels)"
# The knob stands at the left end of the trough's run (the range label and
# the frame number before it are text, broken by white).
knob=$(row_colours "$trough_y" 0 $((frame_w * 3 / 4)) |
  awk '$1 == "#FFFFFF" { run = 0; next }
       { if (run++ == 0) start = NR - 1; if (run > longest) { longest = run; knob = start + 8 } } END { print knob }')
middle=$((frame_w * 3 / 8))
timeout 10 xdotool mousemove --sync --window "$window" "$knob" "$trough_y" mousedown 1 \
  mousemove --sync --window "$window" $((middle / 2)) "$trough_y" \
  mousemove --sync --window "$window" "$middle" "$trough_y" mouseup 1 || fail "cannot drag the slider"
wait_until 30 fill_above $((middle / 2)) || fail "the dragged slider shows too little of the clip ($fill blue pixels)"
first=$fill
fill_stays "$first" || true
cp "$work/frame.png" "$artifacts/panels_e2e_walk_dragged.png"
((first == second)) || fail "the dragged slider did not halt walk ($first, then $second blue pixels)"

note "camera page: FREEROAM, arrow keys"
# The page lies under the selected tab's blue underline, right of the view.
page_top=$(column_colours $((view_x + 640 + 60)) "$view_y" 100 |
  awk -v base="$view_y" '$1 == "#3584E4" { last = NR - 1 } END { if (last != "") print base + last + 1 }')
[[ -n "$page_top" ]] || fail "no selected notebook tab"
# Its background is white or the theme's light grey, right of the sash.
page_left=$(row_colours $((page_top + 8)) $((view_x + 640)) 60 |
  awk -v base=$((view_x + 640)) '($1 == "#FFFFFF" || $1 == "#F6F5F4") && left == "" { left = base + NR - 1 } END { print left }')
[[ -n "$page_left" ]] || fail "no notebook page"
# The mode choice in the page's column, under the box's label; "FREEROAM" is
# the first item.
open_choice $((page_left + 14 + 45)) $((page_top + 25 + 12))
press Home Return
wait_until 30 list_closed || fail "the camera mode choice's list did not close"
screenshot "$window" "$artifacts/panels_e2e_freeroam.png"

pointer_to "$view" 320 240
screenshot "$view" "$work/before.png"
# The lower half: ground near the camera, which any move of the camera shifts.
# The camera steps once a frame while a key is down: Up and Left are held,
# a moment at a time, until the picture has changed well beyond the mark
# below; then, 1.5 s later (a tracking camera glides back within that
# time), a free camera stays where the keys left it (some 60000 pixels
# differ from before), a tracking one is back (some 6000).
hold_up_left() {
  timeout 10 xdotool keydown Up keydown Left sleep 0.1 keyup Left keyup Up || fail "cannot hold Up and Left"
}
step_until_view_changes 640x200+0+280 40000 30 hold_up_left
sleep 1.5
screenshot "$view" "$work/after.png"
cp "$work/after.png" "$artifacts/panels_e2e_flown.png"
moved=$(region_difference "$work/before.png" "$work/after.png" 640x200+0+280)
((moved > 20000)) || fail "the arrow keys did not move the free camera ($moved pixels changed, $changed while held)"

timeout 10 "$close_window" "$title" > /dev/null || fail "the close request could not be sent"
wait_for_exit 60
[[ "$rc" == 0 ]] || fail "exit code $rc after the close request"
[[ "$(cvar_value "$work/data/cvar.ini" player.StepSize)" == 1 ]] || fail "cvar.ini lacks \"1 player.StepSize 1\""
check_clean_output

note "passed; screenshots in $artifacts"
