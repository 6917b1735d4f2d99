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
# shellcheck source-path=SCRIPTDIR
source "$(dirname "$0")/common.sh"

# The median of microseconds, one a line, and their range, in milliseconds.
median() {
  sort -n | awk '{ v[NR] = int($1 / 1000) } END { printf "%d (%d-%d)", v[int((NR + 1) / 2)], v[1], v[NR] }'
}

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
