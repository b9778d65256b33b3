#!/usr/bin/env bash
# Soak test: the program on the sample data for a bounded time (120 s, or
# $TAVRIN_SOAK_SECONDS) while random input drives it as a restless user
# would: console commands and assignments (good and bad), the console key,
# history and Tab, arrow keys, drags and clicks over the view, clicks on the
# player strip and the notebook page. The input is random but the same in
# every run (a fixed seed).
#
# Then: the program still runs; its memory did not grow after the first
# minute (checked in builds without AddressSanitizer, whose quarantine grows
# by design); "quit" ends it with exit code 0; "cvar.ini" is whole, one
# "<tag> <name> <value>" line per variable; no critical, assertion or
# sanitizer line was printed.
#
# usage: soak_e2e.sh <tavrin> <make_sample_data> <close_window> <artifact folder>
#                 [<LeakSanitizer suppressions>...]
set -euo pipefail

e2e_name=soak_e2e
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh" "$@"

seconds=${TAVRIN_SOAK_SECONDS:-120}
RANDOM=20261207

# Resident memory of the program in KiB.
rss() { awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0; }
alive() { kill -0 "$pid" 2>/dev/null || fail "the program ended during the soak"; }
xdo() { timeout 10 xdotool "$@" > /dev/null 2>&1 || alive; }

pick() {
  local -n list=$1
  echo "${list[RANDOM % ${#list[@]}]}"
}

# Lines typed into the console. "exit" and "quit" come only at the end.
commands=(
  "help" "help me" "camera.track 0" "camera.track 1 root" "camera.track 1 walker" "camera.track 1 boxer"
  "camera.track 1 camera" "camera.track 1 nobody" "camera.track" "camera.hdist" "camera.hdist = 3"
  "camera.hdist = 20" "camera.hdist = -4" "camera.vdist = 1.5" "camera.speed = 0" "camera.speed = 9"
  "console.overlay = 0.5" "console.overlay = 0.3" "player.stepsize = 5" "keyboard.trans_speed = 0.1"
  "mouse.trans_speed = 0.01" "mouse.rot_speed = 1" "character.eval_pose walker 1 50"
  "character.eval_pose walker 0 9999" "character.transitions walker" "character.transitions sentry"
  "character.transitions boxer" "character.transitions consoleplayer" "graph.debug = 0" "graph.debug = 1"
  "world.draw_ground = 0" "world.draw_ground = 1" "stats.fps" "= 5" "1 2 3" "%s%n%s" "zzz" "camera."
  "motionctrl.transition_time"
)
creations=("character.create walk" "character.create idle 2 0 2" "character.create punch -3 0 1"
           "character.create guard 1 2" "character.create nothing")
keys=(grave grave Up Down Left Right Tab BackSpace KP_Add KP_Decimal Return space Escape)

type_command() {
  xdo type --delay 5 "$1"
  xdo key Return
}

write_sample_data "$work/data"

run=1
note "soak for $seconds s"
start_program
wait_for_window 180
find_view
frame_w=$(window_field "$window" Width)
frame_h=$(window_field "$window" Height)
view_y=$(window_field "$view" "Relative upper-left Y")
wait_until 60 view_shows_scene || fail "the view shows no scene"

start=$SECONDS
minute_rss=""
actions=0
while ((SECONDS - start < seconds)); do
  alive
  elapsed=$((SECONDS - start))
  if [[ -z "$minute_rss" ]] && ((elapsed >= seconds / 2)); then minute_rss=$(rss); fi
  # The view takes the keyboard focus whenever the pointer enters it.
  xdo mousemove --window "$view" $((RANDOM % 640)) $((RANDOM % 480))
  case $((RANDOM % 10)) in
    0 | 1 | 2) type_command "$(pick commands)" ;;
    3)
      # New characters only in the first quarter: memory settles within
      # half a minute of the last one.
      if ((elapsed < seconds / 4)); then type_command "$(pick creations)"; fi
      ;;
    4 | 5) xdo key "$(pick keys)" ;;
    6) xdo keydown Up sleep 0.05 keyup Up ;;
    7)
      # A drag over the view with one of the three buttons.
      button=$((RANDOM % 3 + 1))
      xdo mousedown "$button" sleep 0.05 mousemove_relative -- $((RANDOM % 41 - 20)) $((RANDOM % 41 - 20)) \
        sleep 0.05 mouseup "$button"
      ;;
    8)
      # A click somewhere on the player strip (buttons, slider, spin control).
      xdo mousemove --window "$window" $((RANDOM % frame_w)) $((view_y + 485 + RANDOM % (frame_h - view_y - 510)))
      xdo click 1
      xdo key Escape
      ;;
    9)
      # A click somewhere on the notebook page, then away from any open list.
      xdo mousemove --window "$window" $((650 + RANDOM % (frame_w - 655))) $((view_y + RANDOM % 480))
      xdo click 1
      xdo key Escape
      ;;
  esac
  actions=$((actions + 1))
done
alive
end_rss=$(rss)
note "$actions actions; resident memory $minute_rss KiB half-way, $end_rss KiB at the end"
screenshot "$window" "$artifacts/soak_e2e_end.png"

if [[ "${TAVRIN_SANITIZED:-}" != 1 ]]; then
  # Flat: at most 10 % and 16 MiB above the half-way figure.
  ((end_rss <= minute_rss + minute_rss / 10 + 16384)) ||
    fail "memory grew after the first half: $minute_rss KiB, then $end_rss KiB"
fi

xdo mousemove --window "$view" 320 240
# An open console or not, the line typed runs on Enter: clear it first.
xdo key --repeat 80 --delay 2 BackSpace
type_command "quit"
wait_for_exit 60
[[ "$rc" == 0 ]] || fail "exit code $rc after \"quit\""
[[ -s "$work/data/cvar.ini" ]] || fail "no cvar.ini after \"quit\""
bad=$(grep -vnE '^[12] [^ ]+ -?[0-9]+(\.[0-9]+)?$' "$work/data/cvar.ini" | head -n 3 || true)
[[ -z "$bad" ]] || fail "cvar.ini holds lines that are not settings: $bad"
check_clean_output

note "passed"
