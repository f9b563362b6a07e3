#!/bin/sh
# A cookie folder whose Low store holds 70,001 cookie files in the store's
# own record format, one site each (site000000 to site070000). Made on the
# build machine's own file system: made through Wine, every new file costs a
# look through the whole folder. Kept once made.
set -e
folder=$1
[ -e "$folder/Low/S070000.txt" ] && exit 0
rm -rf "$folder"
mkdir -p "$folder/Low"
cd "$folder/Low"
awk 'BEGIN {
  for (i = 0; i <= 70000; i++) {
    f = sprintf("S%06d.txt", i)
    printf "n\nv\nsite%06d/\n0\n1\n2\n3\n4\n*\n", i > f
    close(f)
  }
}'
