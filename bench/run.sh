#!/usr/bin/env bash
# Times the program writing a large table against the limit of the disk (dd
# with fsync) and against a plain fprintf writer, in one folder, in one run.
#
# usage: bench/run.sh BUILD_DIR [ROWS] [RUNS]
set -euo pipefail

build=$(cd "$1" && pwd)
rows=${2:-20000000}
runs=${3:-5}
program=$build/src/grisalturas
reference=$build/bench/fprintf_reference
micro=$build/bench/format_row_benchmark

work=$build/bench-work
rm -rf "$work"
mkdir -p "$work/images/maps"
trap 'rm -rf "$work"' EXIT
table=$work/images/maps/bench_tab.txt

now() { date +%s%N; }

# Prints the seconds a command took, with the folder emptied and the disk settled first.
timed() {
  rm -f "$work"/images/maps/*
  sync
  local start end
  start=$(now)
  "$@"
  end=$(now)
  echo $(((end - start) / 1000))  # microseconds
}

run_program() { echo "maps bench 0 1 0 $((rows - 1)) 1 0" | (cd "$work" && "$program" >/dev/null); }
run_dd() { dd if=/dev/zero of="$work/images/maps/dd.bin" bs=1M count="$mebibytes" conv=fsync status=none; }
run_reference() { "$reference" "$table" "$rows"; }

# The byte count of the table, written once to learn it and to check it.
run_program
bytes=$(stat -c %s "$table")
mebibytes=$(((bytes + 1048575) / 1048576))
"$reference" "$work/reference.txt" "$rows"
cmp -s "$table" "$work/reference.txt" || { echo "the program and the reference disagree" >&2; exit 1; }
rm -f "$work/reference.txt"

best() { sort -n | head -1; }
program_us=$(for _ in $(seq "$runs"); do timed run_program; done | best)
dd_us=$(for _ in $(seq "$runs"); do timed run_dd; done | best)
reference_us=$(for _ in $(seq "$runs"); do timed run_reference; done | best)
peak_kib=$(rm -f "$work"/images/maps/*; echo "maps bench 0 1 0 $((rows - 1)) 1 0" |
  (cd "$work" && /usr/bin/time -f %M "$program" 2>&1 >/dev/null))

seconds() { awk -v us="$1" 'BEGIN { printf "%.3f s", us / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "table: $rows rows, $bytes bytes; best of $runs runs"
echo "  grisalturas         $(seconds "$program_us")"
echo "  dd conv=fsync       $(seconds "$dd_us")   (the disk's limit)"
echo "  fprintf reference   $(seconds "$reference_us")"
echo "  program / dd        $(ratio "$program_us" "$dd_us")   (target: at most 1.5)"
echo "  reference / program $(ratio "$reference_us" "$program_us")   (target: at least 4)"
echo "  peak resident memory of the program: $((peak_kib / 1024)) MiB ($peak_kib KiB; target: under 16 MiB)"
echo
"$micro" --benchmark_min_time=0.5
