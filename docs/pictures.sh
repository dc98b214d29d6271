#!/usr/bin/env bash
# Makes the pictures in docs/pictures anew from the current build, with the
# tests' own harnesses: the setup's pages as Wine shows them (the setup
# group's setup_pages.py, in English), and the join page in Chromium (the
# browser group's browser_test.py, on a desktop and at a phone's width).
# Builds the native and win32 presets first, when they are out of date.
#
#   bash docs/pictures.sh
set -euo pipefail
cd "$(dirname "$0")/.."
pictures=$PWD/docs/pictures
for preset in native win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)" >/dev/null
done
ZARNO_PICTURES=$pictures ctest --preset native -R '^browser$'
ctest --preset win32 -R '^setup_pages$'
# The setup's four pages, in the order a player meets them.
n=0
for page in welcome folder progress finish; do
  n=$((n + 1))
  cp "build/win32/setup-pages/setup-$n.png" "$pictures/setup-$page.png"
done
ls -l "$pictures"
