# Shared steps of the end-to-end tests. Each test script sets `e2e_name` (the
# prefix of the files it leaves) and sources this file with its own
# arguments:
#
#   <tavrin> <make_sample_data> <close_window> <artifact folder> [<LeakSanitizer suppressions>...]
#
# The test then runs again under an X server of its own (Xvfb, no window
# manager), never on the user's display: it moves the pointer and types.
# This file sets `tavrin`, `make_sample_data`, `close_window` and `artifacts`
# (the other tools of the build sit beside close_window), `here` (the test
# folder) and `title`; it sets up a temporary working folder ($work, removed
# on exit), joins the LeakSanitizer suppressions, and defines the steps below,
# each bounded in time. `fail` reports the start number in `run` and leaves
# the program's output, log and cvar.ini in $artifacts.

if (($# < 4)); then
  echo "usage: $0 <tavrin> <make_sample_data> <close_window> <artifact folder> [lsan.supp...]" >&2
  exit 2
fi
if [[ "${TAVRIN_E2E_OWN_XVFB:-}" != 1 ]]; then
  TAVRIN_E2E_OWN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi

tavrin=$1
make_sample_data=$2
close_window=$3
artifacts=$4
shift 4
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
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
    [[ -f "$work/data/$f" ]] && cp "$work/data/$f" "$artifacts/${e2e_name}_run${run}_$f"
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

# Writes the sample data into the folder $1 and removes this test's
# artifacts of an earlier run.
write_sample_data() {
  note "sample data"
  timeout 120 "$make_sample_data" "$1" > /dev/null || { run=0; fail "make_sample_data failed"; }
  mkdir -p "$artifacts"
  rm -f "$artifacts/${e2e_name}"_*
}

# Sets `view` to the id of the 640 x 480 3-D view of `window`.
find_view() {
  view=$(view_window "$window" 640 480)
  [[ -n "$view" ]] || fail "no 640 x 480 view"
}

# Starts the program in the working folder, output to out.txt.
start_program() {
  (cd "$work/data" && exec "$tavrin" > out.txt 2>&1) &
  pid=$!
}

# Runs the command "$@" after $1 every 0.1 s until it succeeds, for at most
# $1 seconds; fails (returns 1) when it never did. What a step awaits (a frame
# drawn, the console slid open, a window mapped, a line in a file) comes
# sooner or later with the machine's load: the test waits for it, never for a
# fixed time, and the deadline lies far beyond the usual wait.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# Starts the window manager openbox, sets `wm` to its process id and waits
# until it manages the screen; the caller stops it.
wm_runs() { timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q "window id"; }
start_openbox() {
  command -v openbox > /dev/null || fail "openbox is needed (scripts/packages.txt)"
  openbox > "$work/openbox.txt" 2>&1 &
  wm=$!
  wait_until 60 wm_runs || fail "openbox did not start within 60 s"
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

# Moves the pointer to ($2, $3) in window $1 and waits until it is there.
# xdotool's --sync waits for a motion, which never comes when the pointer is
# already at the target (a second start puts the window where the first
# was): the pointer leaves for the screen's corner first.
pointer_to() {
  timeout 10 xdotool mousemove 1279 1023 sleep 0.05 mousemove --sync --window "$1" "$2" "$3" ||
    fail "cannot move the pointer to $2,$3"
}

screenshot() {
  timeout 30 import -window "$1" "$2" || fail "screenshot of window $1 failed"
}

# A screenshot of the whole main window into $work/frame.png.
frame_shot() { screenshot "$window" "$work/frame.png"; }

# The colours of `count` pixels of frame.png, one "#RRGGBB" a line: of row y
# from x on (row_colours y x count), or of column x from y on
# (column_colours x y count). Readers take the whole list: a reader that
# stopped early would fail the pipeline.
row_colours() {
  timeout 30 convert "$work/frame.png" -crop "${3}x1+$2+$1" +repage txt:- | awk 'NR > 1 {print $3}'
}
column_colours() {
  timeout 30 convert "$work/frame.png" -crop "1x${3}+$1+$2" +repage txt:- | awk 'NR > 1 {print $3}'
}

# The colour ("#RRGGBB") of pixel ($2, $3) of the picture $1.
pixel_colour() {
  timeout 30 convert "$1" -crop "1x1+$2+$3" +repage txt:- | awk 'NR > 1 {print $3}'
}

# A screenshot of the 3-D view `view` into $work/view_now.png, and whether
# it shows a drawn scene (more than 16 colours), not an empty window.
view_shows_scene() {
  screenshot "$view" "$work/view_now.png"
  (($(colour_count "$work/view_now.png") > 16))
}

# The console's background colour (0.8, 0.2, 0.3), opaque.
console_colour="#CC334C"
# Whether the console covers the top $1 rows of the view: open, and its
# slide over (it grows from the top to its full height).
console_open_to() {
  screenshot "$view" "$work/view_now.png"
  [[ "$(pixel_colour "$work/view_now.png" 590 $(($1 - 1)))" == "$console_colour" ]]
}
# Whether the view shows no console at its top.
console_closed() {
  screenshot "$view" "$work/view_now.png"
  [[ "$(pixel_colour "$work/view_now.png" 590 2)" != "$console_colour" ]]
}

# Repeats the input step "$@" (holding a key a moment, say) until the view's
# region $1 (WxH+X+Y) differs from $work/before.png by more than $2 pixels or
# $3 seconds have passed, and leaves the last picture in $work/after.png.
# Sets `changed` to the last count and `steps` to the steps taken. The
# program moves the camera a step a frame while a key is held: how many
# frames a hold of fixed length covers depends on the machine's load.
step_until_view_changes() {
  local region=$1 bar=$2 deadline=$((SECONDS + $3))
  shift 3
  steps=0
  while :; do
    "$@"
    steps=$((steps + 1))
    screenshot "$view" "$work/after.png"
    changed=$(region_difference "$work/before.png" "$work/after.png" "$region")
    [[ "$changed" =~ ^[0-9]+$ ]] || fail "compare failed: $changed"
    ((changed > bar || SECONDS >= deadline)) && return 0
  done
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

# Pixels that differ between the pictures $1 and $2 within the region $3
# (WxH+X+Y).
region_difference() {
  crop "$1" "$work/region_1.png" "$3" || fail "cannot crop"
  crop "$2" "$work/region_2.png" "$3" || fail "cannot crop"
  pixel_difference "$work/region_1.png" "$work/region_2.png"
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

