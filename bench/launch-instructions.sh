#!/usr/bin/env bash
# Instructions of one native launch (-quiet, a link file, a registry file
# whose "Path to Zarnok" names a game that does nothing) against the minimal
# C program that only starts the same game, counted by callgrind; then the
# launcher's functions by inclusive cost, to show where the difference goes.
# Counts repeat from run to run (in one environment), unlike times, so a cut
# shows up even when it is too small to time.  Kernel work (exec, page faults, system calls) is
# not counted; launch-bench.sh times that too.
#
#   bash bench/launch-instructions.sh [TOP]     # TOP functions listed (default 40)
#   BUILD=path/to/build bash bench/launch-instructions.sh
#
# A build with -g names source files too (the code and the counts are the
# same), and lists a function once more for each header its inlined code came
# from.  With OUT set the callgrind files are kept there, for
# "callgrind_annotate --inclusive=yes --tree=calling FILE".
set -euo pipefail
cd "$(dirname "$0")/.."
top=${1:-40}
build=${BUILD:-build/native}
build=$(cd "$build" 2>/dev/null && pwd || echo "$PWD/$build")
command -v valgrind >/dev/null || { echo "valgrind is needed" >&2; exit 2; }
if [ ! -f "$build/CMakeCache.txt" ] && [ -z "${BUILD:-}" ]; then
  cmake --preset native >/dev/null
fi
[ -x "$build/zarnolaunch" ] || cmake --build "$build" -j"$(nproc)" --target launcher >/dev/null
cmake --build "$build" -j"$(nproc)" --target minimal_spawner trivial_game >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=${OUT:-$work}
mkdir -p "$out"
game="$build/trivial_game"
printf 'REGEDIT4\n\n[HKEY_CLASSES_ROOT\\ZarnoLaunch]\n"Path to Zarnok"="%s"\n' "$game" >"$work/registry.reg"
printf '[ZarnoLaunch]\nServer=alpha.beta.gamma:7777\n' >"$work/bench.zarnok"
export ZARNOLAUNCH_REGISTRY="$work/registry.reg"

count() {
  local name=$1
  shift
  valgrind --tool=callgrind --callgrind-out-file="$out/$name.callgrind" "$@" 2>"$work/$name.log" ||
    { cat "$work/$name.log" >&2; exit 2; }
  sed -n 's/^.*Collected : \([0-9]*\).*$/\1/p' "$work/$name.log"
}
launcher=$(count launcher "$build/zarnolaunch" -quiet "$work/bench.zarnok")
baseline=$(count baseline "$build/minimal_spawner" "$game" alpha.beta.gamma:7777)
awk -v a="$launcher" -v b="$baseline" \
  'BEGIN { printf "instructions: launcher %d, baseline %d, difference %d (%.2fx)\n", a, b, a - b, a / b }'
echo
echo "launcher, inclusive (start-up and exit code before and after main are the baseline's too):"
callgrind_annotate --inclusive=yes "$out/launcher.callgrind" 2>/dev/null |
  sed -n '/^Ir .*file:function/,$p' | sed '1,2d' | grep -v 'below main' |
  sed -e 's/std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >/std::string/g' \
    -e 's/ \[[^]]*\]$//' -e "s|  $PWD/|  |" -e 's/^\(.\{150\}\).*/\1.../' |
  awk -v top="$top" '!seen[$0]++ && ++n <= top'
[ -n "${OUT:-}" ] && echo "callgrind files: $out/launcher.callgrind, $out/baseline.callgrind"
exit 0
