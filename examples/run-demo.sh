#!/usr/bin/env bash
# Opens examples/example.zarnok with the Linux build of the launcher, the way
# the desktop would, and shows what happened.  The launcher finds the game
# through a private registry file that points at a demonstration game, which
# only says which server it was asked to join.
set -euo pipefail
cd "$(dirname "$0")/.."

# What building the launcher needs, installed when missing.
bash cmake/packages.sh build

# The native preset's programs when they are there; otherwise a build of
# just the launcher and the demonstration game, which needs no test libraries.
demo=build/demo
build=build/native
if [ ! -x "$build/zarnolaunch" ] || [ ! -x "$build/zarnok-demo" ]; then
  build=$demo/build
  echo "Building the launcher..."
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZARNO_TESTS=OFF >/dev/null
  cmake --build "$build" --target launcher zarnok-demo -j"$(nproc)" >/dev/null
fi
mkdir -p "$demo"
game="$PWD/$build/zarnok-demo"
# The registry entry a Zarnok installation leaves: its files' open command.
cat >"$demo/registry.reg" <<REG
REGEDIT4

[HKEY_CLASSES_ROOT\\Zarnok\\shell\\open\\command]
@="\\"$game\\" \\"%1\\""
REG
rm -f "$demo/launcher.log"

echo "\$ zarnolaunch -logfile $demo/launcher.log examples/example.zarnok"
# The game runs on after the launcher has ended, with the launcher's
# output as its own: the pipe ends once both have ended.
{
  status=0
  ZARNOLAUNCH_REGISTRY="$demo/registry.reg" "$build/zarnolaunch" \
    -logfile "$demo/launcher.log" examples/example.zarnok || status=$?
  echo "$status" >"$demo/status"
} | cat
status=$(cat "$demo/status")
echo "(launcher exit status: $status)"
echo
echo "--- $demo/launcher.log"
cat "$demo/launcher.log"
echo "--- $demo/registry.reg (the launcher remembered where the game is)"
cat "$demo/registry.reg"
exit "$status"
