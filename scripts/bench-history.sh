#!/usr/bin/env bash
# History benchmark: the report benchmark's store (scripts/bench-report.sh)
# rendered through its template alone ("plain") and through the same
# template with the previous period beside every row, the trend sections,
# the notes and the SVG chart ("history").  Runs the two in turn, RUNS times
# each, and prints the medians (wall and processor time) and their ratio,
# for the default period (-D31: every record in it) and for -D3 (half the
# records in the period, half in the previous one).
#
#   nice scripts/bench-history.sh [build-dir] [records]
#   environment: AREAS (1000), LINKS (2000), RUNS (5), BENCH_DIR (/tmp)
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
build=$(realpath -m "${1:-build-bench}")
records=${2:-1000000}
runs=${RUNS:-5}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEX_TESTS=OFF >/dev/null
cmake --build "$build" --target vexstat report_perftest -j2 >/dev/null

work=$(mktemp -d "${BENCH_DIR:-/tmp}/vexhistXXXXXX")
trap 'rm -rf "$work"' EXIT
cat "$src/samples/templates/full.tpl" "$src/samples/templates/links.tpl" >"$work/plain.tpl"
cp "$work/plain.tpl" "$work/history.tpl"
cat >>"$work/history.tpl" <<'TPL'
Files @TOTALFILES, before @PREVTOTALFILES (@CHANGETOTALFILES); size @TOTALSIZE, before @PREVTOTALSIZE (@CHANGETOTALSIZE)
#AREASIZE
@AREA(20,L) @SIZETOTAL(10) @PREVSIZETOTAL(10) @CHANGESIZETOTAL(8) @FILETOTAL(5) @PREVFILETOTAL(5) @CHANGEFILETOTAL(8)
#LINKFILE
@LINK(20,L) @FILEIN(5) @PREVFILEIN(5) @CHANGEFILEIN(8) @SIZEIN(10) @PREVSIZEIN(10) @CHANGESIZEIN(8)
#ORIGINALLINKSIZE
@LINK(20,L) @SIZETOTAL(10) @PREVSIZETOTAL(10) @CHANGESIZETOTAL(8)
#EXPLINKSIZE
@EXPLINK(20,L) @EXPSIZE(10) @PREVEXPSIZE(10) @CHANGEEXPSIZE(8)
#TREND
@TRENDDATE @FILEIN(6) @FILEOUT(6) @SIZETOTAL(12) @GRAPH(30,L) @PERC
#TREND(WEEK,FILE)
@TRENDDATE-@TRENDEND @FILETOTAL(6) @DBLGRAPHS(30,L)
#NOTES
@NOTE
@TRENDSVG
TPL
"$build/report/report_perftest" "$work" plain.tpl "$records" "${AREAS:-1000}" "${LINKS:-2000}"
cd "$work"
cat stat.vx >/dev/null  # warm the page cache

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
seconds() {
  local TIMEFORMAT='%3R %3U %3S' t
  t=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$t"
}
run() {  # run <template> <period option>
  printf 'ADDRESS 2:5000/1\nTPLFILENAME %s bench.txt\n' "$1" >vexstat.cfg
  seconds faketime '2026-12-08 12:00:00' "$build/driver/vexstat" "$2"
}

echo "history benchmark: $records records, median of $runs runs, $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg)"
for period in -D31 -D3; do
  plain=() history=()
  for ((i = 0; i < runs; ++i)); do
    plain+=("$(run plain.tpl "$period")")
    history+=("$(run history.tpl "$period")")
  done
  pw=$(printf '%s\n' "${plain[@]}" | cut -d' ' -f1 | median)
  pc=$(printf '%s\n' "${plain[@]}" | cut -d' ' -f2 | median)
  hw=$(printf '%s\n' "${history[@]}" | cut -d' ' -f1 | median)
  hc=$(printf '%s\n' "${history[@]}" | cut -d' ' -f2 | median)
  lines=$(wc -l <bench.txt)
  printf '%s: plain wall %.3f s cpu %.3f s; history wall %.3f s cpu %.3f s (%d lines); ratio wall %.2f cpu %.2f\n' \
    "$period" "$pw" "$pc" "$hw" "$hc" "$lines" \
    "$(awk -v a="$hw" -v b="$pw" 'BEGIN { print a / b }')" \
    "$(awk -v a="$hc" -v b="$pc" 'BEGIN { print a / b }')"
done
