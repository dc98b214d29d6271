#!/usr/bin/env bash
# Runs every fuzz target of the fuzz preset for SECONDS (default 30), starting
# from the seed corpora in tests/fuzz/corpus.  New inputs go to a scratch
# corpus under build/fuzz, so the committed seeds stay as they are.
#
#   bash tests/fuzz/run.sh 600     ten minutes a target
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-30}
failed=0
for target in clean_server ini_lookup registry_file wine_registry vdf vdf_binary records; do
  work=build/fuzz/corpus/$target
  mkdir -p "$work"
  echo "-- fuzz_$target for ${seconds}s"
  if ! build/fuzz/fuzz_$target -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
      -artifact_prefix=build/fuzz/crash-$target- "$work" tests/fuzz/corpus/$target \
      >build/fuzz/$target.log 2>&1; then
    tail -n 40 build/fuzz/$target.log
    echo "-- fuzz_$target FOUND A PROBLEM (see build/fuzz/$target.log)"
    failed=1
  else
    grep -E "stat::number_of_executed_units" build/fuzz/$target.log || true
  fi
done
exit "$failed"
