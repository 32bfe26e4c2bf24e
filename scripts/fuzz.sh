#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each in turn for the given number of
# seconds (default 300), starting from its committed corpus in
# fuzz/corpus/<target>/.  New inputs and any crashing input are kept under
# the work directory; the committed corpus is never changed.
#
#   scripts/fuzz.sh [seconds] [target...]
#
# Environment: VEX_FUZZ_BUILD (build directory, default build-fuzz),
# VEX_FUZZ_WORK (work directory, default /tmp/vexfuzz).  Exits 1 when a
# target found a crash, an overrun, a leak or a hang.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(tic config template area_h area_s area_t jam squish msg)
build=$(realpath -m "${VEX_FUZZ_BUILD:-build-fuzz}")
work=$(realpath -m "${VEX_FUZZ_WORK:-/tmp/vexfuzz}")

. scripts/prerequisites.sh
vex_install_prerequisites
vex_install_fuzz_prerequisites

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DVEX_FUZZ=ON -DVEX_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" \
  --target $(printf 'fuzz_%s ' "${targets[@]}") >/dev/null

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for t in "${targets[@]}"; do
  mkdir -p "$work/corpus/$t" "$work/artifacts"
  log="$work/$t.log"
  echo "== fuzz_$t: ${seconds} s"
  if nice "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$work/artifacts/$t-" \
      "$work/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/   $t /"
  else
    failed+=("$t")
    grep -E '^==[0-9]+==ERROR|^SUMMARY|runtime error|ALARM|fuzz check failed' "$log" | head -5
    echo "   fuzz_$t FAILED: see $log and $work/artifacts/"
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "== fuzzing found problems in: ${failed[*]}"
  exit 1
fi
echo "== no target found a problem"
