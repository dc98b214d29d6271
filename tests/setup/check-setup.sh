#!/bin/sh
# Checks the release form of the setup: at most 288 KiB (the launcher, and
# the Modern UI's pages with their picture in eleven languages, and the
# plug-in that reads the process's elevation in the setup and again in its
# uninstaller, 231 KiB when they came in; then the licence and the notices,
# 24 KiB compressed, for 262 KiB in all), asking for no
# elevation, and carrying the same version as the launcher, which is
# project(VERSION).  Usage: check-setup.sh SETUP LAUNCHER VERSION
set -eu
setup=$1 launcher=$2 version=$3
fail() { echo "check-setup: $*" >&2; exit 1; }
size=$(stat -c %s "$setup")
[ "$size" -le 294912 ] || fail "$setup is $size bytes, more than 288 KiB"
# The manifest is stored as it is, not compressed.
grep -aq 'level="asInvoker"' "$setup" || fail "the setup asks for elevation"
commas=$(echo "$version" | tr . ,)
for exe in "$setup" "$launcher"; do
  resources=$(i686-w64-mingw32-windres --input "$exe" --output-format rc | tr -d ' ')
  for want in "FILEVERSION$commas,0" "PRODUCTVERSION$commas,0" "\"FileVersion\",\"$version\"" \
              "\"ProductVersion\",\"$version\""; do
    echo "$resources" | grep -qF "$want" || fail "$exe: no $want in its version information"
  done
done
echo "check-setup: $setup: $size bytes, version $version"
