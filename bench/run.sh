#!/usr/bin/env bash
# Times the program writing large tables of the shapes users write against the
# limit of the disk (dd with fsync, the same number of bytes, in the same
# folder and the same run), and against a plain fprintf writer.
#
# usage: bench/run.sh BUILD_DIR [RUNS]
set -euo pipefail

build=$(cd "$1" && pwd)
runs=${2:-5}
program=$build/src/grisalturas
reference=$build/bench/fprintf_reference
micro=$build/bench/format_row_benchmark

work=$build/bench-work
rm -rf "$work"
mkdir -p "$work/images/maps"
trap 'rm -rf "$work"' EXIT
# shellcheck source-path=SCRIPTDIR
source "$(dirname "$0")/common.sh"
table=$work/images/maps/bench_tab.txt

best() { sort -n | head -1; }
seconds() { awk -v us="$1" 'BEGIN { printf "%.3f s", us / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

printf '%-10s %14s %10s %10s %8s %9s\n' shape bytes program dd ratio "peak RSS"
for shape in "${shapes[@]}"; do
  IFS='|' read -r name answers <<<"$shape"
  shape_runs=$runs
  [ "$name" = 200M-rows ] && shape_runs=2
  rm -f "$work"/images/maps/*
  peak_kib=$(echo "maps bench $answers" | (cd "$work" && /usr/bin/time -f %M "$program" 2>&1 >/dev/null))
  bytes=$(stat -c %s "$table")
  mebibytes=$(((bytes + 1048575) / 1048576))
  program_us=999999999999 dd_us=999999999999
  # Alternated, so that both meet the disk in the same moods.
  for _ in $(seq "$shape_runs"); do
    us=$(timed run_program "$program"); ((us < program_us)) && program_us=$us
    us=$(timed run_dd); ((us < dd_us)) && dd_us=$us
  done
  printf '%-10s %14s %10s %10s %8s %6s MiB\n' "$name" "$bytes" "$(seconds "$program_us")" "$(seconds "$dd_us")" \
    "$(ratio "$program_us" "$dd_us")" "$((peak_kib / 1024))"
  if [ "$name" = 8-digits ]; then
    eight_digits_us=$program_us
    rows=20000000
    "$reference" "$work/reference.txt" "$rows"
    cmp -s <(cd "$work" && echo "maps bench $answers" | "$program" >/dev/null && cat "$table") "$work/reference.txt" ||
      { echo "the program and the reference disagree" >&2; exit 1; }
    rm -f "$work/reference.txt"
    reference_us=$(for _ in $(seq "$runs"); do timed "$reference" "$table" "$rows"; done | best)
  fi
done
echo
echo "best of $runs runs (2 for 200M-rows); ratio: program / dd writing the same bytes (target: at most 1.10, and at most 1 where it can)"
echo "fprintf reference on 8-digits: $(seconds "$reference_us"), $(ratio "$reference_us" "$eight_digits_us") times the program (target: at least 6)"
echo "peak resident memory target: under 16 MiB"
echo
"$micro" --benchmark_min_time=0.5
