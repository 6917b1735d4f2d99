#!/usr/bin/env bash
# Checks the macOS tarball, which nothing here can run: its files, and one
# universal program of an Apple silicon and an Intel half, the first signed:
# a code signature load command, and the embedded signature where it points.
#
# usage: packaging/check-macos.sh TARBALL
set -euo pipefail
tarball=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tar -xzf "$tarball" -C "$work"

failed=0
fail() { echo "$tarball: $1" >&2; failed=1; }
for file in grisalturas README.txt LICENSE grisalturas.1; do
  [ -f "$work"/*/"$file" ] || fail "no $file"
done
program=$(echo "$work"/*/grisalturas)
[ -x "$program" ] || fail "the program is not executable"
archs=$(llvm-lipo-14 -archs "$program" | xargs -n 1 | sort | xargs)
[ "$archs" = "arm64 x86_64" ] || { fail "not one program for arm64 and x86_64: $archs"; exit 1; }
llvm-lipo-14 -thin arm64 "$program" -output "$work/arm64"
offset=$(llvm-otool-14 -l "$work/arm64" | awk '/cmd LC_CODE_SIGNATURE/ {found = 1} found && /dataoff/ {print $2; exit}')
if [ -z "$offset" ]; then
  fail "the Apple silicon program is not signed"
elif [ "$(od -An -tx1 -j "$offset" -N 4 "$work/arm64" | tr -d ' ')" != fade0cc0 ]; then
  fail "no embedded signature where the Apple silicon program's load command points"
fi
exit $failed
