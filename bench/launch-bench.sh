#!/usr/bin/env bash
# Whole-process cost of a native launch (-quiet, no log, a game that does
# nothing) against a minimal C program that only starts the same game, in one
# run, as medians over RUNS alternating runs (default 300).
#
#   bash bench/launch-bench.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-300}
build=build/native
if [ ! -x "$build/process_bench" ] || [ ! -x "$build/zarnolaunch" ]; then
  cmake --preset native >/dev/null
  cmake --build --preset native -j"$(nproc)" --target launcher process_bench minimal_spawner trivial_game >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
game="$PWD/$build/trivial_game"
printf 'REGEDIT4\n\n[HKEY_CLASSES_ROOT\\ZarnoLaunch]\n"Path to Zarnok"="%s"\n' "$game" >"$work/registry.reg"
printf '[ZarnoLaunch]\nServer=alpha.beta.gamma:7777\n' >"$work/bench.zarnok"
export ZARNOLAUNCH_REGISTRY="$work/registry.reg"
"$build/process_bench" "$runs" \
  -- "$build/zarnolaunch" -quiet "$work/bench.zarnok" \
  -- "$build/minimal_spawner" "$game" alpha.beta.gamma:7777
