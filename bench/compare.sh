#!/usr/bin/env bash
# Times several builds of the program side by side with dd on the shapes of
# run.sh: each round runs every program and dd one after the other, each
# round starting with the next of them, so that all meet the disk in the
# same moods and in every place of the round. Prints the median of the
# rounds in milliseconds, with the fastest and slowest.
#
# usage: bench/compare.sh RUNS NAME=PROGRAM...
set -euo pipefail

runs=$1
shift
names=() programs=()
for named in "$@"; do
  names+=("${named%%=*}")
  programs+=("$(realpath "${named#*=}")")
done

work=$(mktemp -d "${COMPARE_DIR:-$PWD}/compare.XXXXXX")
mkdir -p "$work/images/maps"
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }
timed() {
  rm -f "$work"/images/maps/*
  sync
  local start end
  start=$(now)
  "$@"
  end=$(now)
  echo $(((end - start) / 1000000))
}
run_program() { echo "maps bench $answers" | (cd "$work" && "$1" >/dev/null); }
run_dd() { dd if=/dev/zero of="$work/images/maps/dd.bin" bs=1M count="$mebibytes" conv=fsync status=none; }
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%d (%d-%d)", v[int((NR + 1) / 2)], v[1], v[NR] }'; }

shapes=(
  "8-digits|0 1 0 19999999 1 0"
  "10-digits|1000000000 1 1000000000 1019999999 1 0"
  "negative|-1000000000 -1 -1000000000 -1019999999 -1 0"
  "200M-rows|0 1 0 199999999 1 0"
  "32-bit-mm|-2147483648 1000 -2147483 2147483 1 3"
)
printf '%-10s' shape
printf ' %18s' "${names[@]}" dd
echo
for shape in "${shapes[@]}"; do
  IFS='|' read -r name answers <<<"$shape"
  [[ -n ${SHAPES:-} && " $SHAPES " != *" $name "* ]] && continue
  rounds=$runs
  [ "$name" = 200M-rows ] && rounds=$(((runs + 2) / 3))
  rm -f "$work"/images/maps/*
  run_program "${programs[0]}"
  bytes=$(stat -c %s "$work/images/maps/bench_tab.txt")
  mebibytes=$(((bytes + 1048575) / 1048576))
  declare -A times=()
  contenders=("${!programs[@]}" dd)
  for round in $(seq "$rounds"); do
    for place in "${!contenders[@]}"; do
      i=${contenders[$(((round + place) % ${#contenders[@]}))]}
      if [ "$i" = dd ]; then
        times[dd]+="$(timed run_dd) "
      else
        times[$i]+="$(timed run_program "${programs[$i]}") "
      fi
    done
  done
  printf '%-10s' "$name"
  for i in "${!programs[@]}" dd; do
    printf ' %18s' "$(tr ' ' '\n' <<<"${times[$i]}" | grep . | median)"
  done
  echo
  unset times
done
