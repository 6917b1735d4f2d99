#!/usr/bin/env bash
# Checks that ELF programs are linked statically: they ask for no program
# interpreter (no loader) and need no shared library. A static
# position-independent program keeps a dynamic section of its own, for the
# relocations it applies to itself, so having one is no fault.
#
# usage: packaging/check-static.sh FILE...
set -euo pipefail

failed=0
for file in "$@"; do
  readelf -h "$file" >/dev/null
  if readelf -lW "$file" | grep -q 'INTERP'; then
    echo "$file: asks for a program interpreter" >&2
    failed=1
  fi
  if readelf -dW "$file" | grep -q '(NEEDED)'; then
    echo "$file: needs a shared library" >&2
    failed=1
  fi
done
exit $failed
