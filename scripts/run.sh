#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts the program in the
# working folder run/, which holds the sample data.
#
# With a display ($DISPLAY set) the window opens there and the program runs
# until you close it (close box, File > Exit, Alt-X or Ctrl-C here).
#
# Without a display the program runs on a virtual X server (Xvfb), where its
# window cannot be seen: it runs for TAVRIN_HEADLESS_SECONDS seconds (10 by
# default), leaves a screenshot of the window in run/screenshot.png, and is
# then asked to close like a window manager would, so it shuts down in order
# and saves run/cvar.ini. TAVRIN_HEADLESS_SECONDS=0 keeps it running until
# Ctrl-C.
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
cd "$(dirname "$0")/.."

build=build/release
program=$build/app/tavrin
title="Tavrin v1"

# The part that runs on the virtual X server (see the end of this script).
if [[ "${TAVRIN_RUN_HEADLESS:-}" == 1 ]]; then
  seconds=${TAVRIN_HEADLESS_SECONDS:-10}
  cd run
  if [[ "$seconds" == 0 ]]; then
    exec "../$program"
  fi
  "../$program" &
  pid=$!
  shown=0
  for _ in $(seq 1 300); do
    if ! kill -0 "$pid" 2>/dev/null; then break; fi
    if timeout 5 xdotool search --onlyvisible --name "^${title}\$" > /dev/null 2>&1; then
      shown=1
      break
    fi
    sleep 1
  done
  if ((shown)); then
    echo "The window is up; it runs for $seconds s."
    sleep "$seconds"
    window=$(timeout 5 xdotool search --onlyvisible --name "^${title}\$" | head -n 1 || true)
    if [[ -n "$window" ]] && timeout 30 import -window "$window" screenshot.png; then
      echo "Screenshot of the window: run/screenshot.png"
    fi
    timeout 10 "../$build/tools/close_window" "$title" > /dev/null || kill -TERM "$pid" 2>/dev/null || true
  else
    echo "The window did not appear; see run/log.txt." >&2
    kill -TERM "$pid" 2>/dev/null || true
  fi
  status=0
  wait "$pid" || status=$?
  echo "The program ended with exit code $status; its log is run/log.txt."
  exit "$status"
fi

scripts/install-packages.sh

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j "$(nproc)"

# The working folder run/ starts out with the generated sample data: skeleton,
# motion clips and scene. An existing run/ is left as it is (with the caches,
# graphs and cvar.ini of earlier runs); a failed generation leaves none, so
# the next start tries again.
if [[ ! -d run ]]; then
  "$build/tools/make_sample_data" run || { rm -rf run; exit 1; }
fi

if [[ -n "${DISPLAY:-}" ]]; then
  cd run
  exec "../$program"
fi

echo "No display (\$DISPLAY is not set): the program runs on a virtual X server (Xvfb),"
echo "where its window cannot be seen."
TAVRIN_RUN_HEADLESS=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$self"
