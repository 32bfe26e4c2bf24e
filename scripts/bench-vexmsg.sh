#!/usr/bin/env bash
# Base-listing benchmark: a JAM, a Squish and a *.MSG base of 100,000
# messages each, listed by vexmsg.  Prints the elapsed and processor times
# of each listing.
#
#   scripts/bench-vexmsg.sh [build-dir] [messages]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build-bench}")
count=${2:-100000}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEX_TESTS=OFF >/dev/null
cmake --build "$build" --target vexmsg msgbase_perftest -j2 >/dev/null

work=$(mktemp -d /tmp/vexbenchXXXXXX)
trap 'rm -rf "$work"' EXIT
"$build/msgbase/msgbase_perftest" "$work" "$count"
cd "$work"
# The processor times count on a busy machine too; the elapsed time does not.
for area in Jjam Ssquish Mmsg; do
  /usr/bin/time -f "$area: %e s elapsed, %U s user, %S s system" \
    "$build/msgbase/vexmsg" "$area" >"$work/list.txt"
  echo "  $(wc -l <"$work/list.txt") lines"
done
