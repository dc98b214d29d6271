#!/usr/bin/env bash
# Whole-process cost of a Windows launch under Wine: "ZarnoLaunch.exe -quiet
# LINKFILE" against minimal_spawner.exe, a minimal C program that only starts
# the same game (CreateProcessA, "game path" address) and ends.  The game is
# trivial_game.exe, which does nothing.  Both run as "wine PROGRAM ...", timed
# as whole Linux processes by process_bench: the wine process becomes the
# Windows process, so wait4's CPU time covers it.  Prints the median wall
# time, CPU time (user + system), wineserver CPU time and peak memory of each,
# and the median of the per-pair ratios, over PAIRS alternating pairs (default
# 40, at least 20) in one run.
#
#   bash bench/wine-launch-bench.sh [PAIRS [EXE]]
#   BUILD=path/to/win32/build bash bench/wine-launch-bench.sh
#   ZARNOLAUNCH_EXE=path/to/ZarnoLaunch.exe bash bench/wine-launch-bench.sh
#
# EXE (or $ZARNOLAUNCH_EXE) is measured as it is, never rebuilt; by default it
# is the build tree's ZarnoLaunch.exe.  The build tree ($BUILD, default the
# win32 preset's) gets the baseline and the game built when they are out of
# date, and the launcher only when it is missing.  Everything runs in a 32-bit
# prefix of the benchmark's own ($BENCH_PREFIX, default BUILD/bench-prefix),
# under one persistent wineserver started first and stopped at the end, so
# that no run pays for starting a server or the prefix's services.
set -euo pipefail
cd "$(dirname "$0")/.."
pairs=${1:-40}
if ! [ "$pairs" -ge 20 ] 2>/dev/null; then
  echo "usage: wine-launch-bench.sh [PAIRS [EXE]]   (PAIRS: at least 20)" >&2
  exit 2
fi
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
build=$(absolute "${BUILD:-build/win32}")
exe=$(absolute "${2:-${ZARNOLAUNCH_EXE:-$build/ZarnoLaunch.exe}}")
prefix=$(absolute "${BENCH_PREFIX:-$build/bench-prefix}")

if [ ! -f "$build/CMakeCache.txt" ] && [ -z "${BUILD:-}" ]; then
  cmake --preset win32 >/dev/null
fi
if [ ! -f "$exe" ] && [ -z "${2:-}${ZARNOLAUNCH_EXE:-}" ]; then
  cmake --build "$build" -j"$(nproc)" --target launcher >/dev/null
fi
[ -f "$exe" ] || { echo "no launcher at $exe" >&2; exit 2; }
cmake --build "$build" -j"$(nproc)" --target minimal_spawner trivial_game >/dev/null

# The timer is a Linux program; built here so that no native build tree is
# needed.
timer=$build/bench-tools/process_bench
if [ ! -x "$timer" ] || [ bench/process_bench.cpp -nt "$timer" ]; then
  mkdir -p "$(dirname "$timer")"
  ${CXX:-c++} -std=c++17 -O2 -o "$timer" bench/process_bench.cpp
fi

# The environment of the test runs (cmake/wine-run.sh), in the benchmark's
# own prefix.
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
wine=${WINE:-wine}

# The prefix is made the way the tests make theirs.
sh cmake/wine-run.sh "$prefix" cmd /c exit >/dev/null 2>&1 || true
# One benchmark per prefix at a time: two would share, and time, one server.
exec 9>"$prefix.bench-lock"
flock 9

work=$(mktemp -d)
server=
cleanup() {
  if [ -n "$server" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
# A server left behind by an interrupted run would outlive this one's -k.
wineserver -k >/dev/null 2>&1 || true
wineserver -w
# In the foreground (-f) but in the background of this script, so that its
# process id is known: process_bench reads the server's CPU time by it.
wineserver -f -p </dev/null >/dev/null 2>&1 &
server=$!
# A Wine program started before the server holds the prefix's lock would
# start a server of its own and this one would give up.  The server takes the
# lock before it makes its socket, so a socket among its files means it is
# safe to go on.
serverReady() {
  local fd
  for fd in "/proc/$server/fd"/*; do
    [[ $(readlink "$fd" 2>/dev/null) == socket:* ]] && return 0
  done
  return 1
}
for _ in $(seq 200); do
  kill -0 "$server" 2>/dev/null || { echo "wineserver did not start" >&2; exit 2; }
  serverReady && break
  sleep 0.05
done

winpath() { printf 'Z:%s' "${1//\//\\}"; }
game=$(winpath "$build/trivial_game.exe")
link=$(winpath "$work/bench.zarnok")
address=alpha.beta.gamma:7777
printf '[ZarnoLaunch]\r\nServer=%s\r\n' "$address" >"$work/bench.zarnok"
# Also brings up the prefix's services before any timed run.
"$wine" reg add 'HKCR\ZarnoLaunch' /v 'Path to Zarnok' /t REG_SZ /d "$game" /f >/dev/null
kill -0 "$server" 2>/dev/null || { echo "wineserver did not stay up" >&2; exit 2; }

# One checked launch first: a launcher that fails says why in its log.
if ! "$wine" "$exe" -quiet -logfile "$(winpath "$work/check.log")" "$link"; then
  echo "the launcher failed; its log:" >&2
  cat "$work/check.log" >&2 2>/dev/null || echo "(no log was written)" >&2
  exit 2
fi
"$wine" "$build/minimal_spawner.exe" "$game" "$address"

imports=
if command -v i686-w64-mingw32-objdump >/dev/null; then
  imports=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')
fi
echo "launcher: $exe ($(stat -c '%s bytes, modified %y' "$exe"))"
[ -z "$imports" ] || echo "imports:  $imports"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
"$timer" -w 5 -s "$server" -t 1.3 "$pairs" \
  -- "$wine" "$exe" -quiet "$link" \
  -- "$wine" "$build/minimal_spawner.exe" "$game" "$address"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
