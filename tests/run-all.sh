#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test: the
# native suite, the same suite under Wine against ZarnoLaunch.exe, the
# sanitizer build's suite, and a short run of each fuzz target.
#
#   bash tests/run-all.sh            everything
#   FUZZ_SECONDS=600 bash tests/run-all.sh   longer fuzz runs
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-30}

# --- what the builds and tests need -------------------------------------------
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
packages=()
have() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
have cmake || packages+=(cmake)
have make || packages+=(make)
have g++ || packages+=(g++)
have clang++ || packages+=(clang)
have_pkg libclang-rt-14-dev || packages+=(libclang-rt-14-dev)
# The leak check's suppression names a function: reports must be symbolized.
have llvm-symbolizer || packages+=(llvm)
have flock || packages+=(util-linux)
[ -f /usr/include/gtest/gtest.h ] || packages+=(libgtest-dev)
[ -d /usr/src/googletest/googletest ] || packages+=(googletest)
[ -f /usr/include/benchmark/benchmark.h ] || packages+=(libbenchmark-dev)
# The game managers' records: JSON (headers only) and YAML (linked statically).
[ -f /usr/include/nlohmann/json.hpp ] || packages+=(nlohmann-json3-dev)
have_pkg libyaml-dev || packages+=(libyaml-dev)
have i686-w64-mingw32-g++-posix || packages+=(g++-mingw-w64-i686)
have wine || packages+=(wine)
# The Linux desktop's own tools, which the desktop tests run for real.
for pkg in xdg-utils shared-mime-info desktop-file-utils libglib2.0-bin libfile-mimeinfo-perl \
           x11-utils xvfb xauth xdotool; do
  have_pkg "$pkg" || packages+=("$pkg")
done
# The Windows setup is made with NSIS; its tests under Wine are in Python.
have makensis || packages+=(nsis)
have python3 || packages+=(python3)
# The Debian package is checked with Debian's own checker.
have lintian || packages+=(lintian)
# Releases: signed with a throwaway certificate, and checked.
have osslsigncode || packages+=(osslsigncode)
have openssl || packages+=(openssl)
# The browser group: two browsers, a driver for one, two web servers; and the
# desktop portal that sandboxed browsers call, a sandbox to call it from, the
# session bus it runs on, and the Python bindings that make the call.
for pkg in chromium chromium-driver python3-selenium firefox-esr nginx-light apache2 \
           xdg-desktop-portal xdg-desktop-portal-gtk bubblewrap dbus-daemon python3-gi; do
  have_pkg "$pkg" || packages+=("$pkg")
done
# A locale whose day and month names are not English, for the log header;
# the locales the translation tests make for Wine; gettext's own tools,
# which check the translations.
have_pkg locales || packages+=(locales)
have msgfmt || packages+=(gettext)
if ! have_pkg wine32:i386; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo_cmd dpkg --add-architecture i386
  fi
  packages+=(wine32:i386)
fi
if [ ${#packages[@]} -gt 0 ]; then
  echo "== installing: ${packages[*]}"
  # nginx and Apache start as services when installed, both on port 80: the
  # second may fail to start and fail its installation with it, and without
  # systemd both would be left running.  The browser group starts servers of
  # its own, so no service starts while installing (policy-rc.d is obeyed by
  # invoke-rc.d and by systemd's helper alike).
  policy=/usr/sbin/policy-rc.d made_policy=""
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo_cmd tee "$policy" >/dev/null
    $sudo_cmd chmod +x "$policy"
    made_policy=1
    trap '$sudo_cmd rm -f "$policy"' EXIT
  fi
  $sudo_cmd apt-get update -qq -o DPkg::Lock::Timeout=600
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
    "${packages[@]}" >/dev/null
  if [ -n "$made_policy" ]; then
    $sudo_cmd rm -f "$policy"
    trap - EXIT
  fi
fi

# The log header's test runs under a German locale, to see it keep English names.
if ! locale -a 2>/dev/null | grep -qx 'de_DE.utf8'; then
  $sudo_cmd sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  $sudo_cmd locale-gen >/dev/null
fi

# --- builds ------------------------------------------------------------------
# The Windows build comes first: the native INI comparison runs its probe.
for preset in win32 native asan fuzz; do
  echo "== building $preset"
  log=$(mktemp)
  if ! { cmake --preset "$preset" && cmake --build --preset "$preset" -j"$jobs"; } >"$log" 2>&1; then
    cat "$log"
    echo "== building $preset FAILED"
    exit 1
  fi
  rm -f "$log"
done

# --- tests -------------------------------------------------------------------
failed=0
for preset in native win32 asan; do
  echo "== testing $preset"
  ctest --preset "$preset" -j"$jobs" || failed=1
done

echo "== fuzzing, ${fuzz_seconds}s a target"
bash tests/fuzz/run.sh "$fuzz_seconds" || failed=1

if [ "$failed" -ne 0 ]; then
  echo "== some tests FAILED"
  exit 1
fi
echo "== all tests passed"
