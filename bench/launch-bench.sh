#!/usr/bin/env bash
# Whole-process cost of a native launch (-quiet, no log, a game that does
# nothing) against a minimal C program that only starts the same game, both
# linked statically: median wall time, CPU time (user + system), page faults
# and peak memory of each, and the median of the per-pair ratios, over RUNS
# alternating pairs in one run (default 300).
#
#   bash bench/launch-bench.sh [RUNS]
#   bash bench/launch-bench.sh RUNS manager          # a game manager's stored choice
#   bash bench/launch-bench.sh RUNS pie              # the launcher against itself
#                                                    # linked at a fixed address
#   BUILD=path/to/build bash bench/launch-bench.sh    # another build tree
#
# The launcher is a static PIE, and so is the baseline.  With "pie" the
# baseline is the launcher itself linked as a plain static program instead
# (launcher_fixed): the ratio is what relocating itself at start costs.
#
# With "manager" the launcher finds what a Steam Deck player's keeps: a Wine
# prefix, a manager's command (here the game itself) and the record it came
# from, each checked at every launch before the command runs in the game's
# folder.
#
# Without BUILD the native preset's tree is used (configured if it is not).
# The launcher found there is measured as it is, built only when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-300}
kind=${2:-}
build=${BUILD:-build/native}
build=$(cd "$build" 2>/dev/null && pwd || echo "$PWD/$build")
if [ ! -f "$build/CMakeCache.txt" ] && [ -z "${BUILD:-}" ]; then
  cmake --preset native >/dev/null
fi
[ -x "$build/zarnolaunch" ] || cmake --build "$build" -j"$(nproc)" --target launcher >/dev/null
# The helpers are brought up to date every time (they do not depend on the
# launcher's code): an older tree may hold a dynamically linked baseline.
cmake --build "$build" -j"$(nproc)" --target process_bench minimal_spawner trivial_game \
  $([ "$kind" != pie ] || echo launcher_fixed) >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
game="$build/trivial_game"
printf 'REGEDIT4\n\n[HKEY_CLASSES_ROOT\\ZarnoLaunch]\n"Path to Zarnok"="%s"\n' "$game" >"$work/registry.reg"
if [ "$kind" = manager ]; then
  mkdir -p "$work/prefix"
  : >"$work/prefix/system.reg"
  printf 'game:\n  prefix: %s\n' "$work/prefix" >"$work/record.yml"
  printf '"Wine prefix of Zarnok"="%s"\n"Game manager of Zarnok"="Lutris"\n' "$work/prefix" >>"$work/registry.reg"
  printf '"Command for Zarnok"="%s %%a"\n"Record for Zarnok"="%s %s"\n' "$game" \
    "$(stat -c '%.9Y:%s:%i' "$work/record.yml")" "$work/record.yml" >>"$work/registry.reg"
fi
printf '[ZarnoLaunch]\nServer=alpha.beta.gamma:7777\n' >"$work/bench.zarnok"
export ZARNOLAUNCH_REGISTRY="$work/registry.reg"
baseline=("$build/minimal_spawner" "$game" alpha.beta.gamma:7777)
[ "$kind" != pie ] || baseline=("$build/launcher_fixed" -quiet "$work/bench.zarnok")
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/process_bench" "$runs" \
  -- "$build/zarnolaunch" -quiet "$work/bench.zarnok" \
  -- "${baseline[@]}"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
