#!/usr/bin/env bash
# Names benchmark: the nodelist reader alone (nodelist_perftest, a 20,000
# node list read 21 times), then the report over a store of N records
# (1,000 file echoes, 2,000 links) with a 20,000-node NODELIST configured,
# through a template without a name macro and one with @SYSNAME, @SYSOP and
# @LOCATION in its link rows; and, for comparison, without any NODELIST.
# Each report is timed RUNS times; the medians are printed.  With BASE set
# to the build directory of an older tree, its vexstat runs the template
# without names too (before/after).
#
#   nice scripts/bench-names.sh [build-dir] [records]
#   environment: RUNS (5), BASE (a build directory to compare with)
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
build=$(realpath -m "${1:-build-bench}")
records=${2:-1000000}
runs=${RUNS:-5}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEX_TESTS=OFF >/dev/null
cmake --build "$build" --target vexstat report_perftest nodelist_perftest -j2 >/dev/null

work=$(mktemp -d "${BENCH_DIR:-/tmp}/vexnamesXXXXXX")
trap 'rm -rf "$work"' EXIT

echo "names benchmark: $records records, median of $runs runs, $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/util/nodelist_perftest" 20000 21 "$work"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# "wall cpu" seconds of one run (cpu: user + system).
seconds() {
  local TIMEFORMAT='%3R %3U %3S' t
  t=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$t"
}

cp "$src/samples/templates/links.tpl" "$work/plain.tpl"
sed -e 's/@LINK(19,L)/@LINK(19,L) @SYSNAME @SYSOP @LOCATION/' \
  "$src/samples/templates/links.tpl" >"$work/names.tpl"
"$build/report/report_perftest" "$work" plain.tpl "$records" 1000 2000
# 20 nets of 1,000 nodes: every link of the store (2:5000/0 .. 2:5001/999)
# and many more.
awk 'BEGIN {
  printf ";A Friday, December 4, 2026 -- Day number 338 : 1\r\nZone,2,Europe,Kiev,Z,-,300\r\n"
  for (net = 5000; net < 5020; ++net) {
    printf "Host,%d,Net_%d,City,Host_Op,-,300,CM\r\n", net, net
    for (node = 1; node < 1000; ++node)
      printf ",%d,Station_%d_%d,Town_%d,Sysop_%d,7-495-555-%04d,33600,CM,XA,IBN\r\n", node, net, node, node % 13, node, node
  }
}' >"$work/NODELIST.338"
base_cfg=$(cat "$work/vexstat.cfg")

run() {  # run <label> <vexstat> <template> <nodelist line>
  local label=$1 bin=$2 tpl=$3 nodelist=$4 i t=()
  printf '%s\n%s\n' "$nodelist" "${base_cfg/plain.tpl/$tpl}" >"$work/vexstat.cfg"
  (cd "$work" && faketime '2026-12-08 12:00:00' "$bin" >/dev/null 2>&1)
  for ((i = 0; i < runs; ++i)); do
    t+=("$(cd "$work" && seconds faketime '2026-12-08 12:00:00' "$bin")")
  done
  printf '  %-40s wall %6.3f s  cpu %6.3f s\n' "$label" \
    "$(printf '%s\n' "${t[@]}" | cut -d' ' -f1 | median)" \
    "$(printf '%s\n' "${t[@]}" | cut -d' ' -f2 | median)"
}

echo "report, medians:"
if [[ -n "${BASE:-}" ]]; then
  run "before: no name macro" "$BASE/driver/vexstat" plain.tpl ""
fi
run "no NODELIST, no name macro" "$build/driver/vexstat" plain.tpl ""
run "NODELIST, no name macro (not read)" "$build/driver/vexstat" plain.tpl "NODELIST NODELIST"
run "NODELIST, name macros" "$build/driver/vexstat" names.tpl "NODELIST NODELIST"
