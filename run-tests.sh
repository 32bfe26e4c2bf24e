#!/usr/bin/env bash
# Builds Vexstat and runs the whole test suite twice: a normal build and an
# AddressSanitizer + UndefinedBehaviorSanitizer build, warnings as errors.
# Installs what the build and the tests need when it is missing.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/prerequisites.sh
vex_install_prerequisites

jobs=$(nproc 2>/dev/null || echo 2)
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 600
}

echo "== normal build"
run_suite build
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-asan -DVEX_SANITIZE=ON
echo "== all tests passed in both builds"
