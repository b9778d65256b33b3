#!/usr/bin/env bash
# End-to-end test of the program: two starts in a fresh working folder that
# holds the generated sample data, driven from outside as a user would.
#
#   1st start (no "cvar.ini"): the window "Tavrin v1" appears at (50, 50) with
#     an outer size of 800 x 630; "log.txt" shows the extension loader's
#     success before the scene and every motion of the scene loaded; the 3-D
#     view is a picture, not one flat colour; a window manager's close request
#     ends the program with exit code 0 and it writes "cvar.ini".
#   Between the starts, two saved values are changed in "cvar.ini".
#   2nd start: the view has the saved width; two screenshots a second apart
#     differ where the characters stand (below the console); Alt-X (the menu
#     accelerator, which must get past the application's key handler) ends the
#     program with exit code 0, and the changed values survive its save.
# No output or log line may be a GTK/GLib critical message, a failed
# assertion or a sanitizer report.
#
# usage: app_e2e.sh <tavrin> <make_sample_data> <close_window> <artifact folder>
#                   [<LeakSanitizer suppressions>...]
# The screenshots (and, on failure, the program's output and log) are left in
# the artifact folder. The test runs on an X server of its own (Xvfb, no
# window manager), never on the user's display: it moves the pointer and types.
set -euo pipefail

if (($# < 4)); then
  echo "usage: $0 <tavrin> <make_sample_data> <close_window> <artifact folder> [lsan.supp...]" >&2
  exit 2
fi
if [[ "${TAVRIN_E2E_OWN_XVFB:-}" != 1 ]]; then
  TAVRIN_E2E_OWN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

tavrin=$1
make_sample_data=$2
close_window=$3
artifacts=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
title="Tavrin v1"

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin_e2e.XXXXXX")
pid=""
cleanup() {
  if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

run=0
fail() {
  echo "FAIL (start $run): $*" >&2
  mkdir -p "$artifacts"
  for f in out.txt log.txt cvar.ini; do
    [[ -f "$work/data/$f" ]] && cp "$work/data/$f" "$artifacts/app_e2e_run${run}_$f"
  done
  exit 1
}
note() { echo "-- $*"; }

# Leaks inside the GUI libraries (fontconfig, D-Bus, GLib) are theirs; the
# sanitizer build must still catch ours. The suppression lists are joined,
# since LeakSanitizer takes one file.
cat "$@" "$here/lsan_gui.supp" > "$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp:print_suppressions=0"
# No accessibility bus under Xvfb; GTK would only complain about it.
export NO_AT_BRIDGE=1

# ---------------------------------------------------------------------------
# Steps, each bounded in time.

# Starts the program in the working folder, output to out.txt.
start_program() {
  (cd "$work/data" && exec "$tavrin" > out.txt 2>&1) &
  pid=$!
}

# Sets `window` to the id of the visible window titled $title once it is
# mapped (the frame exists, unmapped, already during start-up).
wait_for_window() {
  local deadline=$((SECONDS + $1))
  window=""
  while ((SECONDS < deadline)); do
    kill -0 "$pid" 2>/dev/null || fail "the program ended before its window appeared"
    window=$(timeout 5 xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1 || true)
    [[ -n "$window" ]] && return 0
    sleep 0.2
  done
  fail "no visible window \"$title\" within $1 s"
}

# Waits for the program to end and sets `rc` to its exit code.
wait_for_exit() {
  local deadline=$((SECONDS + $1))
  while kill -0 "$pid" 2>/dev/null; do
    if ((SECONDS >= deadline)); then
      kill -KILL "$pid" 2>/dev/null || true
      fail "the program did not end within $1 s"
    fi
    sleep 0.2
  done
  rc=0
  wait "$pid" || rc=$?
  pid=""
}

# One field of xwininfo's report on a window.
window_field() {
  timeout 10 xwininfo -id "$1" | sed -n "s/^ *$2: *//p"
}

# The id of the frame's native child window of size $2 x $3: the 3-D view;
# "" when there is none (the caller reports it).
view_window() {
  timeout 10 xwininfo -id "$1" -children | awk -v size=" $2x$3+" 'index($0, size) {print $1; exit}' || true
}

screenshot() {
  timeout 30 import -window "$1" "$2" || fail "screenshot of window $1 failed"
}

colour_count() {
  timeout 30 convert "$1" -format "%k" info:
}

# Pixels that differ between two pictures.
pixel_difference() {
  timeout 30 compare -metric AE "$1" "$2" null: 2>&1 || true
}

crop() {
  timeout 30 convert "$1" -crop "$3" +repage "$2"
}

cvar_value() {
  awk -v name="$2" '$2 == name {print $3}' "$1"
}

# Lines of out.txt and log.txt that must never appear.
check_clean_output() {
  local bad
  bad=$(grep -hiE "CRITICAL|assert|runtime error|Sanitizer|wxWidgets (error|warning)" "$work/data/out.txt" "$work/data/log.txt" |
        head -n 5 || true)
  [[ -z "$bad" ]] || fail "unexpected lines in the output or log: $bad"
}

check_log_start_up() {
  local log="$work/data/log.txt" extensions first_motion amc base
  [[ -f "$log" ]] || fail "no log.txt"
  # "|| true": a missing line must reach fail (message and artifacts), not
  # end the script through set -e.
  extensions=$(grep -n -m 1 -F "RenderInit: Loaded OpenGL Extensions SUCCESSFULLY" "$log" | cut -d: -f1 || true)
  [[ -n "$extensions" ]] || fail "log.txt lacks the extension loader's success line"
  first_motion=$(grep -n -m 1 "^Loading Motion " "$log" | cut -d: -f1 || true)
  [[ -n "$first_motion" ]] || fail "log.txt shows no motion loading"
  ((extensions < first_motion)) || fail "the scene was read before the renderer was set up"
  for amc in $motions; do
    base=${amc%.*}
    grep -qE "^Done Loading Motion (.*/)?${base}\.(amc|bin) parsed as " "$log" ||
      fail "log.txt does not show motion $amc loaded"
  done
}

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
sleep 1
[[ "$(window_field "$window" "Absolute upper-left X")" == 50 ]] || fail "window x is not 50"
[[ "$(window_field "$window" "Absolute upper-left Y")" == 50 ]] || fail "window y is not 50"
[[ "$(window_field "$window" "Width")" == 800 ]] || fail "window width is not 800"
[[ "$(window_field "$window" "Height")" == 630 ]] || fail "window height is not 630"
check_log_start_up

view=$(view_window "$window" 640 480)
[[ -n "$view" ]] || fail "no 640 x 480 view window (gl.width x gl.height) in the frame"
screenshot "$view" "$artifacts/app_e2e_view_start.png"
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

# --- 2nd start -------------------------------------------------------------
run=2
note "start 2: saved values, moving characters, Alt-X"
start_program
wait_for_window 120
check_log_start_up
view=$(view_window "$window" 600 480)
[[ -n "$view" ]] || fail "the saved gl.width 600 did not size the view"
# The console has finished sliding in after 0.75 s.
sleep 1.5
screenshot "$view" "$work/view_1.png"
sleep 1
screenshot "$view" "$work/view_2.png"
cp "$work/view_1.png" "$artifacts/app_e2e_view_1.png"
cp "$work/view_2.png" "$artifacts/app_e2e_view_2.png"
# Below the console (top 20 %, 96 rows) and above the frame-rate text.
crop "$work/view_1.png" "$work/scene_1.png" 600x324+0+120 || fail "cannot crop"
crop "$work/view_2.png" "$work/scene_2.png" 600x324+0+120 || fail "cannot crop"
colours=$(colour_count "$work/scene_1.png") || fail "cannot count colours"
((colours > 16)) || fail "the scene below the console shows only $colours colours"
moved=$(pixel_difference "$work/scene_1.png" "$work/scene_2.png")
[[ "$moved" =~ ^[0-9]+$ ]] || fail "compare failed: $moved"
((moved > 100)) || fail "the scene did not change in one second ($moved pixels differ)"

# Alt-X through the keyboard: the pointer over the window gives it the focus.
timeout 10 xdotool mousemove --sync 300 300 || fail "cannot move the pointer"
sleep 0.3
timeout 10 xdotool key alt+x || fail "cannot send Alt-X"
wait_for_exit 60
[[ "$rc" == 0 ]] || fail "exit code $rc after Alt-X"
[[ "$(cvar_value "$work/data/cvar.ini" gl.width)" == 600 ]] || fail "gl.width 600 did not survive the save"
[[ "$(cvar_value "$work/data/cvar.ini" console.overlay)" == 0.200000 ]] ||
  fail "console.overlay 0.200000 did not survive the save"
check_clean_output

note "passed; screenshots in $artifacts"
