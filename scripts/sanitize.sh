#!/usr/bin/env bash
# Builds the unit tests (everything that runs without Qt WebEngine) with AddressSanitizer,
# LeakSanitizer and UndefinedBehaviorSanitizer (clang) in build-asan/ and runs them. Every
# report ends its test with a failure, so a passing run has zero reports.
# Usage: scripts/sanitize.sh [ctest arguments]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BRACKENLY_ASAN_BUILD:-$root/build-asan}"
jobs="${BRACKENLY_JOBS:-$(nproc)}"
"$root/scripts/setup.sh" --install-only

sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
launcher=()
! command -v ccache >/dev/null || launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DBRACKENLY_UNIT_ONLY=ON -DBRACKENLY_BUILD_BENCH=OFF \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= \
  -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only $sanitizers" "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$jobs"

export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
ctest -L unit --output-on-failure --timeout 300 "$@"
