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
bash cmake/packages.sh all
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"

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
