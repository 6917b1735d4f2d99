#!/bin/sh
# Empties the tests' scratch folder: what a test stopped by its timeout left
# there, disks it had mounted included and the loop devices of their images
# (the deepest mount first, so that none is left busy), the tmux servers of
# its terminals, then the folder itself.
set -u
scratch=$1
[ -d "$scratch" ] || exit 0
awk -v top="$scratch/" 'index($2, top) == 1 { print $2 }' /proc/self/mounts 2>/dev/null | sort -r |
  while read -r mount; do
    umount -l "$mount" 2>/dev/null || fusermount -uz "$mount" 2>/dev/null || true
  done
losetup -l -n -O NAME,BACK-FILE 2>/dev/null | awk -v top="$scratch/" 'index($2, top) == 1 { print $1 }' |
  xargs -r -n 1 losetup -d 2>/dev/null
find "$scratch" -type s -name tmux 2>/dev/null | while read -r socket; do
  tmux -S "$socket" kill-server 2>/dev/null || true
done
chmod -R u+rwX "$scratch" 2>/dev/null
rm -rf "$scratch"
