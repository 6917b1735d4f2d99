#!/usr/bin/env bash
# Makes the macOS tarball from the builds for Apple silicon and for Intel:
# one universal program of the two (llvm-lipo-14, Debian: llvm-14), whose
# Apple silicon half Zig's linker has signed ad hoc, as that processor runs
# no unsigned program; beside it the Mac readme, the licence and the manual
# page. Files are dated SOURCE_DATE_EPOCH and listed in a fixed order, so
# that the same commit gives the same bytes.
#
# usage: packaging/package-macos.sh AARCH64_BUILD X86_64_BUILD OUTPUT_FOLDER
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
arm=$1 intel=$2 output=$3
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct)}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$arm/CMakeCache.txt")
name=grisalturas-$version-macos
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$arm" --prefix "$work/arm" >/dev/null
cmake --install "$intel" --prefix "$work/intel" >/dev/null
mkdir "$work/$name"
llvm-lipo-14 -create "$work/arm/bin/grisalturas" "$work/intel/bin/grisalturas" -output "$work/$name/grisalturas"
sed "s/@VERSION@/$version/g" "$source_dir/packaging/README-macos.txt" >"$work/$name/README.txt"
cp "$source_dir/LICENSE" "$source_dir/doc/grisalturas.1" "$work/$name/"
chmod 755 "$work/$name" "$work/$name/grisalturas"
chmod 644 "$work/$name/README.txt" "$work/$name/LICENSE" "$work/$name/grisalturas.1"

mkdir -p "$output"
tar -C "$work" --sort=name --format=ustar --owner=0 --group=0 --numeric-owner \
  --mtime="@$SOURCE_DATE_EPOCH" -cf - "$name" | gzip -9n >"$output/$name.tar.gz"
echo "$output/$name.tar.gz"
