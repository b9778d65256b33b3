#!/usr/bin/env bash
# End-to-end test of bad storage, on the generated sample data. Each faulty
# start shows the scene and ends with exit code 0, and leaves no short or wrong
# file; the next start on healthy storage then writes everything, and the
# files match those of a clean start byte for byte.
#
#   clean: a start on healthy storage; its files are the reference.
#   read-only motions (data/motions mounted read-only): no ".bin" or ".mpos"
#     can be written; each failed write is logged once, and the graphs are
#     still the clean ones (the joint positions come from the postures).
#   read-only working folder: nothing at all can be written, not even
#     "log.txt" or "cvar.ini".
#   full storage: the working folder on a 2 MiB tmpfs that the sample data
#     nearly fills; whatever was written is whole.
#
# The mounts are made in a private mount namespace (unshare), so nothing is
# left mounted; without the right to mount, the test is skipped (exit 77).
#
# usage: storage_e2e.sh <tavrin> <make_sample_data> <close_window> <artifact folder>
#                       [<LeakSanitizer suppressions>...]
set -euo pipefail

e2e_name=storage_e2e
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh" "$@"

if ! mkdir -p "$work/probe" || ! unshare -m -- mount -t tmpfs -o size=64k tmpfs "$work/probe" 2> /dev/null; then
  echo "SKIP: this machine does not allow mounts in a private namespace"
  exit 77
fi

# Starts the program in folder $1 inside a private mount namespace, after the
# shell commands $2 (the mounts) have run there; then runs the commands $3
# there once the program has ended (to copy out what a tmpfs holds). The
# program's output goes to $1's out.txt when the folder is writable, else to
# $work/out_<folder>.txt.
start_in() {
  local folder=$1 mounts=${2:-:} after=${3:-:}
  unshare -m -- bash -c "set -e; $mounts; cd '$folder'
    status=0; '$tavrin' > '$work/out.txt' 2>&1 || status=\$?
    $after; exit \$status" &
  pid=$!
}

# The files of folder $1 that the program reads or writes, with their hashes,
# one "name hash" a line (the log and the output aside).
snapshot() {
  (cd "$1" && find . -type f ! -name log.txt ! -name out.txt -printf '%P\n' | LC_ALL=C sort |
    while read -r f; do echo "$f $(sha1sum < "$f" | cut -c1-40)"; done)
}

# One start in folder $1 (mount commands $2, after-commands $3): the window
# comes up, the view shows the scene, a close request ends it with exit code 0.
run_once() {
  start_in "$@"
  wait_for_window 180
  local view
  find_view
  # The first frames come a moment after the window.
  wait_until 60 view_shows_scene || true
  local colours
  colours=$(colour_count "$work/view_now.png") || fail "cannot count colours"
  ((colours > 16)) || fail "the view shows only $colours colours"
  timeout 10 "$close_window" "$title" > /dev/null || fail "the close request could not be sent"
  wait_for_exit 60
  [[ "$rc" == 0 ]] || fail "exit code $rc"
  if grep -qiE "CRITICAL|assert|runtime error|Sanitizer" "$work/out.txt"; then
    fail "unexpected output: $(grep -iE "CRITICAL|assert|runtime error|Sanitizer" "$work/out.txt" | head -n 3)"
  fi
}

# A healthy start in folder $1 must leave exactly the clean start's files.
check_heals() {
  run=$((run + 1))
  note "$1 on healthy storage"
  run_once "$work/$1"
  diff <(snapshot "$work/clean") <(snapshot "$work/$1") > "$work/diff.txt" ||
    fail "after $1, a healthy start does not match a clean one: $(head -n 5 "$work/diff.txt")"
}

write_sample_data "$work/sample"

run=1
note "clean start"
cp -a "$work/sample" "$work/clean"
run_once "$work/clean"
ls "$work/clean"/*.gra > /dev/null 2>&1 || fail "a clean start wrote no graphs"

run=2
note "read-only data/motions"
cp -a "$work/sample" "$work/motions"
m="$work/motions/data/motions"
run_once "$work/motions" "mount --bind '$m' '$m'; mount -o remount,bind,ro '$m'"
if ls "$m"/*.bin "$m"/*.mpos "$m"/*.tmp > /dev/null 2>&1; then fail "files were written into the read-only folder"; fi
for gra in "$work/clean"/*.gra; do
  cmp -s "$gra" "$work/motions/$(basename "$gra")" || fail "$(basename "$gra") differs from the clean one"
done
for amc in "$m"/*.amc; do
  base=${amc##*/}
  base=${base%.amc}
  for cache in "$base.bin" "$base.mpos"; do
    count=$(grep -c "Error outputing data/motions/$cache" "$work/motions/log.txt" || true)
    [[ "$count" == 1 ]] || fail "the failed write of $cache is logged $count times"
  done
done
check_heals motions

run=4
note "read-only working folder"
cp -a "$work/sample" "$work/readonly"
r="$work/readonly"
run_once "$r" "mount --bind '$r' '$r'; mount -o remount,bind,ro '$r'"
diff <(snapshot "$work/sample") <(snapshot "$r") > /dev/null || fail "files were written into the read-only folder"
check_heals readonly

run=6
note "full storage"
mkdir -p "$work/full" "$work/full_after"
f="$work/full"
run_once "$f" "mount -t tmpfs -o size=2m tmpfs '$f'; cp -a '$work/sample/.' '$f/'" "cp -a '$f/.' '$work/full_after/'"
find "$work/full_after" -name "*.tmp*" | grep -q . && fail "temporary files were left on the full storage"
caches=$(find "$work/full_after" -name "*.bin" -o -name "*.mpos" -o -name "*.gra" | wc -l)
note "$caches of the clean start's $(find "$work/clean" -name "*.bin" -o -name "*.mpos" -o -name "*.gra" | wc -l) caches and graphs fit"
while read -r name hash; do
  expected=$(awk -v n="$name" '$1 == n {print $2}' <(snapshot "$work/clean"))
  [[ "$hash" == "$expected" ]] || fail "$name on the full storage is not whole"
done < <(snapshot "$work/full_after")
rm -rf "$work/full"
mv "$work/full_after" "$work/full"
check_heals full

note "passed"
