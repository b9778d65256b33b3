#!/usr/bin/env bash
# End-to-end test of a scene with many characters: the sample scene and 4000
# more characters, each playing one clip with another blended over it, so the
# player strip lists some 8000 motion controllers and the "Camera" page some
# 4000 entities, and the first frames draw thousands of characters.
#
#   1st start: the close request (tools/close_window) as soon as the window
#     shows, while the first frames are drawn, ends the program within 45 s:
#     exit code 0, "cvar.ini" written.
#   2nd start: the same with SIGTERM.
#
# usage: many_e2e.sh <tavrin> <make_sample_data> <close_window> <artifact folder>
#                    [<LeakSanitizer suppressions>...]
set -euo pipefail

e2e_name=many_e2e
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh" "$@"

characters=4000
write_sample_data "$work/data"
awk -v n="$characters" 'BEGIN {
  split("walk idle guard punch", clip, " ")
  for (i = 0; i < n; ++i) {
    printf "\n* Character\nCharacterName: Extra%d\nPosition: %d 0 %d\n", i, i % 80 - 40, -5 - int(i / 80)
    printf "DefaultRootMotion: %s 0\nDefaultBlendMotion: %s 0\nEND\n", clip[i % 4 + 1], clip[(i + 1) % 4 + 1]
  }
}' >> "$work/data/data/scenes/default.sce"

for request in close TERM; do
  run=$((run + 1))
  note "start $run: $request as soon as the window shows"
  rm -f "$work/data/cvar.ini"
  start_program
  wait_for_window 300
  asked=$SECONDS
  if [[ "$request" == close ]]; then
    timeout 10 "$close_window" "$title" > /dev/null || fail "the close request could not be sent"
  else
    kill -TERM "$pid"
  fi
  wait_for_exit 45
  [[ "$rc" == 0 ]] || fail "exit code $rc after the $request request"
  [[ "$(cvar_value "$work/data/cvar.ini" gl.width)" == 640 ]] || fail "no cvar.ini written after the $request request"
  check_clean_output
  note "the program ended $((SECONDS - asked)) s after the $request request"
done

note "passed"
