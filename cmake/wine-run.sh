#!/bin/sh
# Runs a Windows program under Wine in the build tree's own prefix, so that
# tests meet Wine's registry, INI reader, process creation and shell without
# touching the user's ~/.wine.  Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
set -e
prefix=$1
shift
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
# No Mono or Gecko installer dialogs; no display needed.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$prefix"
if [ ! -f "$prefix/system.reg" ] || [ ! -f "$prefix/.initialised" ]; then
  # Several tests may start at once; one of them makes the prefix.
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/.initialised" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    touch "$prefix/.initialised"
  fi
  flock -u 9
fi
exec wine "$@"
