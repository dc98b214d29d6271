#!/usr/bin/env bash
# The Debian packages that building and testing ZarnoLaunch need, in one
# list, and the installation of those that are missing.  Both commands of
# the README's first section come through here:
#
#   bash cmake/packages.sh build    what building the launcher needs (the demo)
#   bash cmake/packages.sh all      that and everything the tests run
#
# A package counts as present when what it brings is there (a command, a
# file) or, failing that, when dpkg has it installed; so a machine where
# the tools came another way is left alone.  Each missing package is named
# before anything is installed.
set -euo pipefail

# group  package                 present when
list='
build    cmake                   command cmake
build    make                    command make
build    g++                     command g++
build    python3                 command python3
build    nlohmann-json3-dev      file /usr/include/nlohmann/json.hpp
build    libyaml-dev             package libyaml-dev
all      clang                   command clang++
all      libclang-rt-14-dev      package libclang-rt-14-dev
all      llvm                    command llvm-symbolizer
all      util-linux              command flock
all      git                     command git
all      libgtest-dev            file /usr/include/gtest/gtest.h
all      googletest              file /usr/src/googletest/googletest/CMakeLists.txt
all      libbenchmark-dev        file /usr/include/benchmark/benchmark.h
all      g++-mingw-w64-i686      command i686-w64-mingw32-g++-posix
all      wine                    command wine
all      wine32:i386             package wine32:i386
all      xdg-utils               package xdg-utils
all      shared-mime-info        package shared-mime-info
all      desktop-file-utils      package desktop-file-utils
all      libglib2.0-bin          package libglib2.0-bin
all      libfile-mimeinfo-perl   package libfile-mimeinfo-perl
all      x11-utils               package x11-utils
all      xvfb                    package xvfb
all      xauth                   package xauth
all      xdotool                 package xdotool
all      nsis                    command makensis
all      lintian                 command lintian
all      rpm                     command rpmbuild
all      rpm2cpio                command rpm2cpio
all      rpmlint                 command rpmlint
all      makepkg                 command makepkg
all      pacman-package-manager  command pacman
all      libarchive-tools        command bsdtar
all      zstd                    command zstd
all      fakeroot                command fakeroot
all      python3-yaml            package python3-yaml
all      osslsigncode            command osslsigncode
all      openssl                 command openssl
all      chromium                package chromium
all      chromium-driver         package chromium-driver
all      python3-selenium        package python3-selenium
all      firefox-esr             package firefox-esr
all      nginx-light             package nginx-light
all      apache2                 package apache2
all      xdg-desktop-portal      package xdg-desktop-portal
all      xdg-desktop-portal-gtk  package xdg-desktop-portal-gtk
all      bubblewrap              package bubblewrap
all      dbus-daemon             package dbus-daemon
all      python3-gi              package python3-gi
all      locales                 package locales
all      gettext                 command msgfmt
'
# What each group of the tests uses them for:
# - git: releases take their date from the commit;
# - clang, its runtime and llvm: the sanitizer and fuzzing builds; the leak
#   check's suppression names a function, so reports must be symbolized;
# - googletest: the tests, natively and (from its sources) in the cross build;
#   Google Benchmark for the benchmarks;
# - MinGW-w64, Wine and 32-bit Wine: the Windows build and its tests;
# - the desktop's own tools, run for real, and a dialog window under Xvfb;
# - NSIS makes the setup; lintian checks the Debian package; osslsigncode
#   and openssl sign a release with a throwaway certificate;
# - the other Linux packages: rpmbuild makes the RPM, rpm2cpio unpacks it and
#   rpmlint checks it; makepkg makes the Arch package (with pacman's own
#   tools, bsdtar, zstd and fakeroot), bsdtar unpacks it; Python's YAML
#   reads the winget manifests back;
# - the browser group: two browsers, a driver for one, two web servers, the
#   desktop portal that sandboxed browsers call, a sandbox to call it from,
#   the session bus it runs on and the Python bindings that make the call;
# - a locale whose day and month names are not English, for the log header,
#   and gettext's own tools, which check the translations.

group=${1:-}
case "$group" in
  build|all) ;;
  *) echo "usage: bash cmake/packages.sh build|all" >&2; exit 2 ;;
esac

have_package() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
present() {
  case "$1" in
    command) command -v "$2" >/dev/null 2>&1 ;;
    file) [ -e "$2" ] ;;
    package) have_package "$2" ;;
  esac
}

missing=()
while read -r in package kind what; do
  [ -n "$in" ] || continue
  [ "$group" = all ] || [ "$in" = "$group" ] || continue
  present "$kind" "$what" || missing+=("$package")
done <<<"$list"
[ ${#missing[@]} -gt 0 ] || exit 0

sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
echo "== installing: ${missing[*]}"
for package in "${missing[@]}"; do
  case "$package" in
    *:i386)
      dpkg --print-foreign-architectures | grep -qx i386 || $sudo_cmd dpkg --add-architecture i386
      ;;
  esac
done
# nginx and Apache start as services when installed, both on port 80: the
# second may fail to start and fail its installation with it, and without
# systemd both would be left running.  The browser group starts servers of
# its own, so no service starts while installing (policy-rc.d is obeyed by
# invoke-rc.d and by systemd's helper alike).
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $sudo_cmd tee "$policy" >/dev/null
  $sudo_cmd chmod +x "$policy"
  trap '$sudo_cmd rm -f "$policy"' EXIT
fi
$sudo_cmd apt-get update -qq -o DPkg::Lock::Timeout=600
DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
  "${missing[@]}" >/dev/null
