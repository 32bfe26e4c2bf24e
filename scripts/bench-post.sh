#!/usr/bin/env bash
# Posting benchmark: N messages posted one by one (each post opens and closes
# its base) into a JAM, a Squish and a *.MSG base, once with the syncs that
# make a posted message durable and once without them, so the difference is
# what durability costs; then 1 MB posts into an empty *.MSG folder and into
# one of 10,000 messages.  The bases live in a directory on the disk under
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

"$build/posting/post_perftest" "$work" "$count" nosync
"$build/posting/post_perftest" "$work" "$count" sync
"$build/posting/post_perftest" "$work" 20 folder
