#!/usr/bin/env bash
# Builds the Debian packages, the Windows zip and the macOS tarball twice, from
# copies of the tree in two folders of different names and depths, and checks
# that each comes out the same to the byte; diffoscope (Debian: diffoscope) shows what differs
# where they do not.
#
# usage: packaging/check-reproducible.sh
set -euo pipefail
cd "$(dirname "$0")/.."
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
# Both copies build with this tree's Zig and its cache.
export GRISALTURAS_ZIG_HOME=${GRISALTURAS_ZIG_HOME:-$PWD/build/zig}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trees=("$work/a" "$work/another/build-tree")
for tree in "${trees[@]}"; do
  mkdir -p "$tree"
  git ls-files -z | xargs -0 tar -cf - | tar -xf - -C "$tree"
  for preset in default windows; do
    (cd "$tree" && cmake --preset "$preset" -DBUILD_TESTING=OFF >/dev/null &&
      cmake --build --preset "$preset" >/dev/null && cd "build/$preset" && cpack >/dev/null)
  done
  (cd "$tree" && make package-macos >/dev/null)
done
status=0
for artefact in default/grisalturas_*.deb default/libnrutil1_*.deb default/libnrutil-dev_*.deb \
  windows/grisalturas-*-win64.zip macos/grisalturas-*-macos.tar.gz; do
  first=$(echo "${trees[0]}"/build/$artefact)
  second=$(echo "${trees[1]}"/build/$artefact)
  if cmp -s "$first" "$second"; then
    echo "reproducible: $(basename "$first")"
  else
    echo "not reproducible: $(basename "$first")" >&2
    status=1
  fi
done
exit $status
