#!/bin/sh
# Installs the build into a fresh prefix, checks what lands there, and builds
# and runs a C program of another project against the installed NRUTIL.
#
# usage: install_test.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in bin/grisalturas share/man/man1/grisalturas.1.gz share/doc/grisalturas/copyright include/NRUTIL.H; do
  [ -f "$work/prefix/$file" ] || { echo "not installed: $file" >&2; exit 1; }
done
ls "$work"/prefix/lib*/libnrutil.* >/dev/null
ls "$work"/prefix/lib*/cmake/nrutil/nrutilConfig.cmake >/dev/null

cmake -S "$source/tests/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/nrutil_consumer"
echo "installed and used from C"
