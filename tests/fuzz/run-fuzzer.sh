#!/usr/bin/env bash
# run-fuzzer.sh FUZZER CORPUS_DIR SEED_DIR SECONDS
# Runs one fuzz target for SECONDS on a working corpus grown from the seeds.
# Any finding fails the run and leaves its input in the corpus folder.
set -eu
fuzzer=$1 corpus=$2 seeds=$3 seconds=$4
mkdir -p "$corpus"
args=("$corpus")
[ -d "$seeds" ] && args+=("$seeds")
exec "$fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$corpus/" -print_final_stats=1 "${args[@]}"
