#!/usr/bin/env bash
# Checks that built programs carry the hardening they are built with: for an
# ELF file a position-independent executable, BIND_NOW, a read-only
# relocation segment, the stack protector, fortified C library calls and, on
# x86-64, the CET landing pads of its own code; for a Windows .exe ASLR, 64-bit
# ASLR, DEP and no link-time stamp.
#
# usage: packaging/check-hardening.sh FILE...
set -euo pipefail

failed=0
fail() { echo "$1: $2" >&2; failed=1; }

for file in "$@"; do
  case $(head -c 4 "$file" | od -An -c | tr -d ' ') in
    177ELF)
      header=$(readelf -h "$file")
      dynamic=$(readelf -d "$file")
      segments=$(readelf -lW "$file")
      symbols=$(nm -D --undefined-only "$file" | awk '{print $2}')
      grep -q 'Type: *DYN' <<<"$header" && grep -q 'PIE' <<<"$dynamic" || fail "$file" "not a PIE"
      grep -Eq 'BIND_NOW|Flags: .*NOW' <<<"$dynamic" || fail "$file" "no BIND_NOW"
      grep -q 'GNU_RELRO' <<<"$segments" || fail "$file" "no RELRO segment"
      grep -q '^__stack_chk_fail' <<<"$symbols" || fail "$file" "no stack protector"
      # The fortified entry points: __*_chk, and __open_2 for an open whose mode it checks.
      grep -Eq '^__[a-z0-9_]+_(chk|2)@' <<<"$symbols" || fail "$file" "no fortified C library call"
      if grep -q 'Machine: *Advanced Micro Devices X86-64' <<<"$header"; then
        # The property note needs every object linked to have it, and Debian 12's C
        # start-up files have not: the program's own code is what is checked.
        (($(objdump -d --no-show-raw-insn "$file" | grep -c endbr64) > 0)) || fail "$file" "no CET landing pads"
      fi
      ;;
    MZ*)
      headers=$(x86_64-w64-mingw32-objdump -p "$file")
      for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
        grep -q "$flag" <<<"$headers" || fail "$file" "no $flag"
      done
      grep -Eq 'Time/Date[[:space:]]+(Thu Jan  1 00:00:00 1970|0+)$' <<<"$headers" || fail "$file" "stamped at link time"
      ;;
    *) fail "$file" "neither ELF nor PE" ;;
  esac
done
exit $failed
