#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer) in
# build-fuzz/, replays the seed corpora in fuzz/corpus/, then runs each target for a fixed
# time (as many at once as there are cores) and prints its executions per second. A crash,
# a sanitizer report or a broken property fails the script; the input is kept in
# build-fuzz/artifacts/.
# Usage: scripts/fuzz.sh [seconds per target]   (default 15)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BRACKENLY_FUZZ_BUILD:-$root/build-fuzz}"
seconds="${1:-15}"
jobs="${BRACKENLY_JOBS:-$(nproc)}"
"$root/scripts/setup.sh" --install-only

launcher=()
! command -v ccache >/dev/null || launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DBRACKENLY_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only" "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$jobs"

# A number libFuzzer prints at the end of a run (-print_final_stats).
final_stat() { sed -n "s/^stat::$2: *//p" "$1" | tail -n 1; }

echo "== Replaying the seed corpora"
ctest --test-dir "$build" -L fuzz --output-on-failure

echo "== Fuzzing, ${seconds} s per target, ${jobs} at a time"
mkdir -p "$build/artifacts" "$build/logs"
rm -f "$build"/logs/*
# One target's run: its log and exit status go to build-fuzz/logs/.
fuzz_one() {
  local name="$1"
  # New inputs go to a working corpus in the build folder; the seeds stay as committed.
  local work="$build/corpus/$name"
  mkdir -p "$work"
  local options=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1
                 -artifact_prefix="$build/artifacts/$name-")
  [ ! -f "$root/fuzz/dict/$name.dict" ] || options+=(-dict="$root/fuzz/dict/$name.dict")
  local status=0
  "$build/fuzz/$name" "${options[@]}" "$work" "$root/fuzz/corpus/$name" \
    >"$build/logs/$name.log" 2>&1 || status=$?
  echo "$status" >"$build/logs/$name.status"
}
names=()
for bin in "$build"/fuzz/fuzz_*; do
  [ -x "$bin" ] && [ -f "$bin" ] && names+=("$(basename "$bin")")
done
running=0
for name in "${names[@]}"; do
  fuzz_one "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

failed=()
printf '%-20s %12s %12s %8s\n' target "exec/s" runs corpus
for name in "${names[@]}"; do
  log="$build/logs/$name.log"
  if [ "$(cat "$build/logs/$name.status")" != 0 ]; then
    failed+=("$name")
    tail -n 60 "$log"
  fi
  printf '%-20s %12s %12s %8s\n' "$name" "$(final_stat "$log" average_exec_per_sec)" \
    "$(final_stat "$log" number_of_executed_units)" "$(find "$build/corpus/$name" -type f | wc -l)"
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]} (inputs in $build/artifacts)" >&2
  exit 1
fi
