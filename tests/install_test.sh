#!/bin/sh
# Installs the build into a fresh prefix, checks what lands there, and builds
# C89 and C++98 programs of another project against the installed NRUTIL,
# through its CMake package, and a C89 one through pkg-config, run against
# the shared library; then adds NRUTIL's sources to a project in C alone, which gets
# the library and nothing to install.
#
# usage: install_test.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:[A-Z]*=//p' "$build/CMakeCache.txt")

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/grisalturas share/man/man1/grisalturas.1.gz share/doc/grisalturas/copyright include/NRUTIL.H \
  "$libdir/libnrutil.so.1" "$libdir/libnrutil.so" "$libdir/libnrutil.a" "$libdir/pkgconfig/nrutil.pc" \
  "$libdir/cmake/nrutil/nrutilConfig.cmake" share/man/man3/nrutil.3.gz share/man/man3/frfvecteur.3.gz; do
  [ -f "$prefix/$file" ] || { echo "not installed: $file" >&2; exit 1; }
done

uses_installed_library() {
  ldd "$1" | grep -q "libnrutil.so.1 => $prefix/$libdir/libnrutil.so.1" ||
    { echo "$1 does not run against the installed shared library:" >&2; ldd "$1" >&2; exit 1; }
  "$1"
}

cmake -S "$source/tests/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
uses_installed_library "$work/consumer/nrutil_consumer_c89"
uses_installed_library "$work/consumer/nrutil_consumer_cxx98"

export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
flags=$(pkg-config --cflags --libs nrutil)
# The flags are the same for either language; C++98 is built through CMake above.
# shellcheck disable=SC2086 # the flags are words
cc -std=c89 -Wall -Wpedantic -Werror -o "$work/pkg_config_c89" "$source/tests/nrutil_c_test.c" $flags
LD_LIBRARY_PATH="$prefix/$libdir" uses_installed_library "$work/pkg_config_c89"

cmake -S "$source/tests/consumer" -B "$work/from_source" -DNRUTIL_SOURCE_DIR="$source/LIB" >/dev/null
cmake --build "$work/from_source" >/dev/null
"$work/from_source/nrutil_consumer_c89"
cmake --install "$work/from_source" --prefix "$work/nothing" >/dev/null
[ ! -e "$work/nothing" ] || { echo "NRUTIL added as sources installs: $(find "$work/nothing" -type f)" >&2; exit 1; }
echo "installed and used from C89 and C++98, through CMake and pkg-config; added as sources to a C project"
