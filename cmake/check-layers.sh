#!/bin/sh
# Nothing in src/ reaches up: a part includes only its own folder and the
# parts below it, in this order from the top.
set -eu
cd "$(dirname "$0")/../src"
parts="dialogue rows table_file system text"
status=0
below=$parts
for part in $parts; do
  for file in "$part"/*; do
    for included in $(sed -n 's|^#include "\([a-z_]*\)/.*"|\1|p' "$file"); do
      case " $below " in
        *" $included "*) ;;
        *) echo "$file reaches up to $included/" >&2; status=1 ;;
      esac
    done
  done
  below=${below#*"$part"}
done
exit $status
