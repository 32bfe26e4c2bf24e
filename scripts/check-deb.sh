#!/usr/bin/env bash
# Builds the .deb (Release, no tests) in build-deb/, or in $VEX_DEB_BUILD,
# and runs lintian on it.
# Exits 1 when lintian reports an error (E:) or the package misses a file
# that Debian asks for.  Needs lintian (apt-get install lintian).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VEX_DEB_BUILD:-build-deb}
umask 022
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEX_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target vexstat vexmsg compressed_docs >/dev/null
rm -f "$build"/vexstat_*.deb
(cd "$build" && cpack -G DEB >/dev/null 2>&1)
deb=$(ls "$build"/vexstat_*.deb)
echo "$deb"
files=$(dpkg-deb -c "$deb")
for f in usr/bin/vexstat usr/bin/vexmsg usr/share/man/man1/vexstat.1.gz \
         usr/share/doc/vexstat/copyright usr/share/doc/vexstat/changelog.gz; do
  grep -q " \./$f\$" <<<"$files" || { echo "missing: /$f"; exit 1; }
done
out=$(lintian --allow-root "$deb" 2>&1 || true)
[ -n "$out" ] && echo "$out"
if grep -q '^E:' <<<"$out"; then exit 1; fi
echo "lintian: no errors"
