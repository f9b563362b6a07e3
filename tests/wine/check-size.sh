#!/usr/bin/env bash
# check-size.sh FILE MAX_BYTES
# The browser helper is loaded into every browser window: its file must stay
# small. Fails when the file is missing or larger than MAX_BYTES.
set -u
file=$1 max=$2
if [ ! -f "$file" ]; then
  echo "$file has not been built"
  exit 1
fi
size=$(stat -c %s "$file")
echo "$(basename "$file"): $size bytes (at most $max)"
[ "$size" -le "$max" ]
