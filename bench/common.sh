# shellcheck shell=bash disable=SC2034,SC2154  # sourced: its callers set and read the variables
# What run.sh and compare.sh share: the tables they time, and how. Sourced,
# with $work set to a folder of the build holding images/maps.

# name|answers after the names: 8 and 10 digits, negative, a 200-million-row
# table, and the whole 32-bit range of tones beside the whole range of
# altitudes in millimeters.
shapes=(
  "8-digits|0 1 0 19999999 1 0"
  "10-digits|1000000000 1 1000000000 1019999999 1 0"
  "negative|-1000000000 -1 -1000000000 -1019999999 -1 0"
  "200M-rows|0 1 0 199999999 1 0"
  "32-bit-mm|-2147483648 1000 -2147483 2147483 1 3"
)

now() { date +%s%N; }

# Prints the microseconds a command took, with the folder emptied and the disk settled first.
timed() {
  rm -f "$work"/images/maps/*
  sync
  local start end
  start=$(now)
  "$@"
  end=$(now)
  echo $(((end - start) / 1000))
}

# Writes the table bench_tab.txt with PROGRAM, the answers in $answers.
run_program() { echo "maps bench $answers" | (cd "$work" && "$1" >/dev/null); }

# Writes $mebibytes MiB with dd, synced once at the end.
run_dd() { dd if=/dev/zero of="$work/images/maps/dd.bin" bs=1M count="$mebibytes" conv=fsync status=none; }
