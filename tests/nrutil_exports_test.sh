#!/bin/sh
# Checks that NRUTIL's shared library, an ELF library or a DLL, exports the
# functions that NRUTIL.H declares and nothing else.
#
# usage: nrutil_exports_test.sh LIBRARY HEADER NM|OBJDUMP (objdump for a DLL)
set -eu
library=$1
header=$2
lister=$3

declared=$(sed -n 's/^[a-z ]*[ *]\**\([a-z]*\)(.*);$/\1/p' "$header" | sort)
[ "$(echo "$declared" | wc -l)" -eq 26 ] || { echo "not 26 functions in $header: $declared" >&2; exit 1; }
case $library in
  *.dll) exported=$("$lister" -p "$library" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' | sort) ;;
  # musl's start files export the loader's _init and _fini from every library.
  *) exported=$("$lister" -D --defined-only "$library" | awk '$3 != "_init" && $3 != "_fini" { print $3 }' | sort) ;;
esac
if [ "$exported" != "$declared" ]; then
  echo "$library exports: $(echo $exported)" >&2
  echo "NRUTIL.H declares: $(echo $declared)" >&2
  exit 1
fi
echo "26 functions exported, as declared"
