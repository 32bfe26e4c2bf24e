#!/usr/bin/env bash
# Report benchmark: a statistics store of 1,000,000 records over 50,000 file
# echoes and 20,000 links, rendered through the full sample template (every
# section, every graph).  Prints the elapsed time and the peak memory of
# the report run.
#
#   scripts/bench-report.sh [build-dir] [records areas links]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build-bench}")
records=${2:-1000000}
areas=${3:-50000}
links=${4:-20000}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEX_TESTS=OFF >/dev/null
cmake --build "$build" --target vexstat report_perftest -j2 >/dev/null

work=$(mktemp -d /tmp/vexbenchXXXXXX)
trap 'rm -rf "$work"' EXIT
cp samples/templates/full.tpl "$work/bench.tpl"
"$build/report/report_perftest" "$work" bench.tpl "$records" "$areas" "$links"
echo "store: $(stat -c %s "$work/stat.vx") bytes, $records records, $areas areas, $links links"

cd "$work"
/usr/bin/time -v faketime '2026-12-08 12:00:00' "$build/driver/vexstat" \
  >"$work/console.txt" 2>"$work/time.txt" || { cat "$work/time.txt"; exit 1; }
grep -E 'Elapsed \(wall clock\)|Maximum resident set size|User time|System time' "$work/time.txt"
echo "result: $(wc -l <"$work/bench.txt") lines, $(stat -c %s "$work/bench.txt") bytes"
