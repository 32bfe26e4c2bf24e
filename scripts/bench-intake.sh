#!/usr/bin/env bash
# Benchmark of the TIC intake: one run of the built program over 10,000 new
# TIC files while the dupe store already holds 100,000 names.  Every file is
# tested against the dupe store, analysed, stored and remembered.
#
#   scripts/bench-intake.sh [path/to/vexstat]     (default: build/driver/vexstat)
#
# Prints the wall-clock time of the run and checks what it stored.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$here/build/driver/vexstat}
bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")
[ -x "$bin" ] || { echo "no program at $bin (build it first)" >&2; exit 1; }

tics=${TICS:-10000}
dupes=${DUPES:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in"

# The TIC files (names not in the dupe store) and the dupe store: 13-byte
# records, a length byte and 12 bytes of name, zero-filled.
perl -e '
  my ($dir, $tics, $dupes) = @ARGV;
  for my $i (1 .. $tics) {
    open(my $f, ">", sprintf("%s/in/n%07d.tic", $dir, $i)) or die $!;
    printf $f "Area BENCH.%d\r\nAreadesc Benchmark area\r\nFile f%d.zip\r\n" .
              "From 2:5020/%d\r\nOrigin 2:5020/%d.1\r\nTo 2:5020/1\r\n" .
              "Size %d\r\nCrc 12345678\r\nPath 2:5020/1 0 UTC+3\r\n",
              $i % 50, $i, $i % 300, $i % 700, $i * 17;
    close($f);
  }
  open(my $d, ">:raw", "$dir/dupes.vx") or die $!;
  for my $i (1 .. $dupes) {
    my $name = sprintf("d%07d.tic", $i);
    print $d pack("C a12", length($name), $name);
  }
  close($d);
' "$work" "$tics" "$dupes"

printf 'TICPATH in/\n' > "$work/vexstat.cfg"

cd "$work"
start=$(date +%s%N)
"$bin" > /dev/null
end=$(date +%s%N)

records=$(( $(stat -c %s stat.vx) / 552 ))
names=$(( $(stat -c %s dupes.vx) / 13 ))
[ "$records" -eq "$tics" ] || { echo "stored $records records, expected $tics" >&2; exit 1; }
[ "$names" -eq $((dupes + tics)) ] || { echo "dupe store has $names names" >&2; exit 1; }
ms=$(( (end - start) / 1000000 ))
echo "intake of $tics TIC files against $dupes remembered names: ${ms} ms"
