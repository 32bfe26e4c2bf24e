#!/usr/bin/env bash
# Report benchmark: statistics stores of N and SCALE x N records over 1,000
# file echoes and 2,000 links, rendered through a template with all four
# tables (file echoes, links, originating systems, addressees) and every
# kind of graph.  For each store it times, in the same run and with the
# page cache warm, `cat stat.vx >/dev/null` and the report, RUNS times each
# in turn, and prints the medians, the report-to-cat ratio and how the
# report time grows with the records.
#
#   nice scripts/bench-report.sh [build-dir] [records]
#   environment: AREAS (1000), LINKS (2000), RUNS (5), SCALE (10; 1 skips
#   the larger store), BENCH_DIR (where the stores go; default /tmp)
#
# The larger store takes SCALE x 552 bytes a record (5.5 GB for 10,000,000
# records); it is deleted at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
build=$(realpath -m "${1:-build-bench}")
records=${2:-1000000}
areas=${AREAS:-1000}
links=${LINKS:-2000}
runs=${RUNS:-5}
scale=${SCALE:-10}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEX_TESTS=OFF >/dev/null
cmake --build "$build" --target vexstat report_perftest -j2 >/dev/null

work=$(mktemp -d "${BENCH_DIR:-/tmp}/vexbenchXXXXXX")
trap 'rm -rf "$work"' EXIT

# Median of the numbers on standard input.
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# seconds <command...>: "wall cpu" seconds of one run (cpu: user + system).
seconds() {
  local TIMEFORMAT='%3R %3U %3S' t
  t=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$t"
}

# bench <records>: builds the store, prints one result line, sets $report_s.
bench() {
  local n=$1 dir="$work/$1"
  mkdir -p "$dir"
  cat "$src/samples/templates/full.tpl" "$src/samples/templates/links.tpl" \
    >"$dir/bench.tpl"
  "$build/report/report_perftest" "$dir" bench.tpl "$n" "$areas" "$links"
  cd "$dir"
  cat stat.vx >/dev/null  # warm the page cache
  faketime '2026-12-08 12:00:00' "$build/driver/vexstat" >console.txt 2>&1 ||
    { cat console.txt; exit 1; }
  local i cat_t=() rep_t=()
  for ((i = 0; i < runs; ++i)); do
    cat_t+=("$(seconds cat stat.vx)")
    rep_t+=("$(seconds faketime '2026-12-08 12:00:00' "$build/driver/vexstat")")
  done
  # Medians of the wall-clock and the processor times.
  local cat_w cat_c rep_c
  cat_w=$(printf '%s\n' "${cat_t[@]}" | cut -d' ' -f1 | median)
  cat_c=$(printf '%s\n' "${cat_t[@]}" | cut -d' ' -f2 | median)
  report_s=$(printf '%s\n' "${rep_t[@]}" | cut -d' ' -f1 | median)
  rep_c=$(printf '%s\n' "${rep_t[@]}" | cut -d' ' -f2 | median)
  printf '%10d records, %5d MB, %d lines out\n' "$n" \
    $(($(stat -c %s stat.vx) / 1000000)) "$(wc -l <bench.txt)"
  printf '    wall: cat %7.3f s  report %7.3f s  ratio %5.2f\n' "$cat_w" \
    "$report_s" "$(awk -v a="$report_s" -v b="$cat_w" 'BEGIN { print a / b }')"
  printf '    cpu:  cat %7.3f s  report %7.3f s  ratio %5.2f\n' "$cat_c" \
    "$rep_c" "$(awk -v a="$rep_c" -v b="$cat_c" 'BEGIN { print a / b }')"
  echo "    runs (wall cpu): cat ${cat_t[*]/ /\/}"
  echo "                     report ${rep_t[*]/ /\/}"
  cd "$src"
  rm -f "$dir/stat.vx"
}

echo "report benchmark: $areas areas, $links links, median of $runs runs, $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg)"
bench "$records"
small=$report_s
if ((scale > 1)); then
  bench $((records * scale))
  printf 'scaling: %dx the records takes %.2fx the time\n' "$scale" \
    "$(awk -v a="$report_s" -v b="$small" 'BEGIN { print a / b }')"
fi
