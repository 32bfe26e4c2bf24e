#!/usr/bin/env bash
# Posting benchmark: N messages posted one by one (each post opens and closes
# its base) into a JAM, a Squish and a *.MSG base, once with the syncs that
# make a posted message durable and once without them, so the difference is
# what durability costs.  The bases live in a directory on the disk under
# test (default: a new one under /var/tmp).
#
#   scripts/bench-post.sh [build-dir] [count] [directory]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build-bench}")
count=${2:-1000}
work=$(mktemp -d "${3:-/var/tmp}/vexpostXXXXXX")
trap 'rm -rf "$work"' EXIT

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEX_TESTS=OFF >/dev/null
cmake --build "$build" --target post_perftest -j2 >/dev/null

"$build/msgbase/post_perftest" "$work" "$count" nosync
"$build/msgbase/post_perftest" "$work" "$count" sync
