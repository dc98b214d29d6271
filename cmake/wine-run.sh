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
# Wine takes the ANSI code page from the locale, and the tests' paths and
# texts are UTF-8, as on a player's desktop.  Where the locale is not UTF-8
# (C, POSIX, or none at all, as in a bare build environment), C.UTF-8 stands
# in; a test that sets a UTF-8 locale of a language keeps it.
case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
  *.UTF-8 | *.utf8 | *.utf-8 | *.UTF8) ;;
  *) export LC_ALL=C.UTF-8 ;;
esac
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
