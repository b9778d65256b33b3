#!/usr/bin/env bash
# Breaks the program on purpose and tells which breaks the tests catch.
#
#   scripts/mutants.sh [-j SLOTS] [-m MUTANTS] [-k] [COMMIT | FOLDER] [NUMBER...]
#
# Every mutation of MUTANTS (default: scripts/mutants.txt beside this script)
# is applied alone to a scratch copy of COMMIT (default HEAD) or of FOLDER,
# built incrementally (Release, Ninja) and tested; the caller's tree is never
# touched. The unit tests run for every mutant, the end-to-end tests (but the
# soak and storage ones) also for mutants in app/ and input/, which they alone
# guard in places. SLOTS copies (default: half the processors) work side by
# side, each with an X server of its own; the end-to-end tests, which want the
# machine, take turns. NUMBERs pick mutants by their place in the file (1, 2,
# ...); -k keeps the scratch folder.
#
# Prints one line per mutant, KILLED (with the test that failed first),
# SURVIVED or INVALID (the text is not found exactly once, or the mutant does
# not compile), then the summary; progress goes to stderr.
set -euo pipefail
shopt -u patsub_replacement 2>/dev/null || true

here=$(cd "$(dirname "$0")" && pwd)
slots=$(( $(nproc) / 2 > 0 ? $(nproc) / 2 : 1 ))
mutants=$here/mutants.txt
keep=0
while getopts "j:m:k" option; do
  case $option in
    j) slots=$OPTARG ;;
    m) mutants=$(realpath "$OPTARG") ;;
    k) keep=1 ;;
    *) sed -n '4p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
target=${1:-HEAD}
shift $(($# > 0 ? 1 : 0))
picked=("$@")
jobs=$(( $(nproc) / slots > 0 ? $(nproc) / slots : 1 ))

# --- The mutants: file, what, find, replace, one block each, "---" between.
files=() whats=() finds=() replaces=()
mutants_Read() {
  local line file="" what="" find="" replace="" have=0
  while IFS= read -r line || [[ -n "$line" ]]; do
    case $line in
      '#'* | '') ;;
      file:*) file=${line#file:}; file=${file# }; have=1 ;;
      what:*) what=${line#what:}; what=${what# } ;;
      find:*) find=${line#find:}; find=${find# } ;;
      replace:*) replace=${line#replace:}; replace=${replace# } ;;
      ---)
        files+=("$file"); whats+=("$what"); finds+=("$find"); replaces+=("$replace")
        file="" what="" find="" replace="" have=0 ;;
      *) echo "mutants.sh: $mutants: cannot read line: $line" >&2; exit 2 ;;
    esac
  done < "$mutants"
  if ((have)); then files+=("$file"); whats+=("$what"); finds+=("$find"); replaces+=("$replace"); fi
}
mutants_Read
count=${#files[@]}
if ((${#picked[@]} == 0)); then mapfile -t picked < <(seq 1 "$count"); fi

# --- The scratch folder: the tree once, then a copy per slot beside a link
# to the capture data, which the tests find at ../shared from the sources.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tavrin_mutants.XXXXXX")
xservers=()
workers=()
cleanup() {
  for pid in "${workers[@]}" "${xservers[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if ((keep)); then echo "mutants.sh: scratch folder kept: $scratch" >&2; else rm -rf "$scratch"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$scratch/tree" "$scratch/results"
if [[ -d "$target" ]]; then
  tar -C "$target" --exclude=./build --exclude=./.git -cf - . | tar -C "$scratch/tree" -xf -
  shared=$(cd "$target/.." && pwd)/shared
else
  repo=$(git -C "$here" rev-parse --show-toplevel)
  git -C "$repo" archive "$target" | tar -C "$scratch/tree" -xf -
  shared=$(cd "$repo/.." && pwd)/shared
  target="$target ($(git -C "$repo" rev-parse --short "$target"))"
fi
[[ -d "$shared/mocap" ]] || echo "mutants.sh: no $shared/mocap: the tests on real data skip" >&2

# Whether mutant i (from 0) also runs the end-to-end tests.
mutant_WantsE2E() { [[ ${files[$1]} == app/* || ${files[$1]} == input/* ]]; }
e2e=0
for n in "${picked[@]}"; do mutant_WantsE2E $((n - 1)) && e2e=1; done

# A mutation applied to the tree in $1 (0), or the number of times its text
# occurs when that is not once (1).
mutant_Apply() {
  local path=$1/${files[$2]} text rest
  [[ -f "$path" ]] || { echo "0"; return 1; }
  text=$(cat "$path"; printf x)
  text=${text%x}
  rest=${text#*"${finds[$2]}"}
  if [[ "$rest" == "$text" ]]; then echo "0"; return 1; fi
  if [[ "$rest" == *"${finds[$2]}"* ]]; then echo "several"; return 1; fi
  printf '%s' "${text/"${finds[$2]}"/"${replaces[$2]}"}" > "$path"
}

# The tests that did not pass in a ctest log, in the order they ended.
ctest_Failures() {
  sed -n -E '/Test +#[0-9]+: .*(Passed|Skipped)/d; s/.*Test +#[0-9]+: ([^ ]+) .*/\1/p' "$1"
}

# ctest in the slot's build: the unit tests ($1 unit) on the slot's X server,
# the end-to-end tests ($1 e2e), which start X servers of their own, one slot
# at a time.
slot_Ctest() {
  local kind=$1
  shift
  if [[ $kind == e2e ]]; then
    flock "$scratch/e2e.lock" ctest --test-dir "$slot/build" "$@"
  else
    DISPLAY=$display ctest --test-dir "$slot/build" -j "$jobs" "$@"
  fi
}

# Runs the tests of kind $1 (unit, or e2e); the first failing test in
# $failed. Each failing test runs again alone, so that a test that fails only
# under load does not count as a catch.
slot_Test() {
  local log=$slot/test.log test
  local -a select=(-E "e2e|fuzz")
  [[ $1 == e2e ]] && select=(-R "[.]e2e\$" -E "soak|storage")
  failed=""
  slot_Ctest "$1" "${select[@]}" > "$log" 2>&1 && return 0
  for test in $(ctest_Failures "$log"); do
    slot_Ctest "$1" -R "^${test//./[.]}\$" > "$log.again" 2>&1 || { failed=$test; return 1; }
  done
  # A run that failed without a failing test: ctest itself could not run.
  [[ -n "$(ctest_Failures "$log")" ]] || { failed="ctest: $(tail -n 1 "$log")"; return 1; }
}

# One mutant in the slot: applied, built, tested, restored; its result line
# in results/NUMBER.
slot_Mutant() {
  local n=$1 i=$(($1 - 1)) result detail="" occurs
  cp "$slot/tavrin/${files[$i]}" "$slot/original" 2>/dev/null || true
  if ! occurs=$(mutant_Apply "$slot/tavrin" "$i"); then
    result=INVALID detail="text found $occurs times in ${files[$i]}"
  elif ! cmake --build "$slot/build" -j "$jobs" > "$slot/build.log" 2>&1; then
    if grep -q "Error running test executable" "$slot/build.log"; then
      result=KILLED detail="a test program does not start"
    else
      result=INVALID detail="does not compile"
    fi
  elif ! slot_Test unit || { mutant_WantsE2E "$i" && ! slot_Test e2e; }; then
    result=KILLED detail=$failed
  else
    result=SURVIVED
  fi
  # Copied back, not moved: the new time stamp makes the next build compile
  # the file again.
  [[ -f "$slot/original" ]] && cp "$slot/original" "$slot/tavrin/${files[$i]}" && rm "$slot/original"
  printf '%3d %-8s %s: %s%s\n' "$n" "$result" "${files[$i]}" "${whats[$i]}" "${detail:+ [$detail]}" \
    | tee "$scratch/results/$n" >&2
}

# The next mutant number from the queue, or false when it is empty.
queue_Next() {
  exec {lock}> "$scratch/queue.lock"
  flock "$lock"
  next=$(head -n 1 "$scratch/queue")
  sed -i 1d "$scratch/queue"
  exec {lock}>&-
  [[ -n "$next" ]]
}

# A slot: its copy, X server and first build, then mutants until the queue is
# empty.
slot_Run() {
  slot=$scratch/slot$1
  mkdir -p "$slot"
  cp -a "$scratch/tree" "$slot/tavrin"
  ln -s "$shared" "$slot/shared"
  display=":$(head -n 1 "$slot/display")"
  cmake -S "$slot/tavrin" -B "$slot/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BENCH=OFF \
    > "$slot/build.log" 2>&1
  # The unmutated tree must pass, or every mutant would count as caught; one
  # slot also runs the end-to-end tests once.
  if ! cmake --build "$slot/build" -j "$jobs" >> "$slot/build.log" 2>&1 || ! slot_Test unit ||
     { (($1 == 1 && e2e)) && ! slot_Test e2e; }; then
    echo "mutants.sh: the unmutated tree does not build or pass its tests${failed:+ ($failed)}; see $slot" >&2
    touch "$scratch/broken"
    return 1
  fi
  while [[ ! -e "$scratch/broken" ]] && queue_Next; do slot_Mutant "$next"; done
}

# Mutants with end-to-end tests first: they take turns, and should not be
# left for the end.
for n in "${picked[@]}"; do mutant_WantsE2E $((n - 1)) && echo "$n"; done > "$scratch/queue"
for n in "${picked[@]}"; do mutant_WantsE2E $((n - 1)) || echo "$n"; done >> "$scratch/queue"

start=$SECONDS
for ((s = 1; s <= slots; ++s)); do
  mkdir -p "$scratch/slot$s"
  # The X server picks a free display and writes its number.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$scratch/slot$s/display" > /dev/null 2>&1 &
  xservers+=($!)
done
for ((s = 1; s <= slots; ++s)); do
  for ((tries = 0; tries < 100; ++tries)); do [[ -s "$scratch/slot$s/display" ]] && break; sleep 0.1; done
  [[ -s "$scratch/slot$s/display" ]] || { echo "mutants.sh: Xvfb did not start" >&2; exit 1; }
  slot_Run "$s" &
  workers+=($!)
done
status=0
for pid in "${workers[@]}"; do wait "$pid" || status=1; done
workers=()

killed=0 survived=0 invalid=0
echo "mutants of $target"
for n in "${picked[@]}"; do
  [[ -f "$scratch/results/$n" ]] || continue
  cat "$scratch/results/$n"
  case $(awk '{print $2}' "$scratch/results/$n") in
    KILLED) killed=$((killed + 1)) ;;
    SURVIVED) survived=$((survived + 1)) ;;
    *) invalid=$((invalid + 1)) ;;
  esac
done
valid=$((killed + survived))
echo "killed $killed of $valid valid mutants ($((valid > 0 ? 100 * killed / valid : 0))%), $survived survived, $invalid invalid; $(((SECONDS - start) / 60)) min $(((SECONDS - start) % 60)) s, $slots slots"
if [[ -e "$scratch/broken" ]]; then echo "stopped: the unmutated tree fails its tests"; status=1; fi
exit $status
