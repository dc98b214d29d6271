#!/usr/bin/env bash
# Makes a release of the checked-out commit in fresh build folders:
#
#   OUT/ZarnoLaunch-<version>-Windows.zip    (preset win32)
#   OUT/ZarnoLaunch-<version>-setup.exe      (preset win32)
#   OUT/zarnolaunch_<version>_<arch>.deb     (preset native)
#   OUT/SHA256SUMS                           the files' SHA-256 sums
#
# and the build folders OUT/<preset>.  Any build of the same commit makes the
# same bytes (cmake/Release.cmake), so the sums say whether a file was built
# from it.  The environment's ZARNO_SIGN_PKCS12, ZARNO_SIGN_PASSWORD_FILE and
# ZARNO_SIGN_TIMESTAMP_URL sign the Windows files; SOURCE_DATE_EPOCH, when
# set, replaces the commit's time.
#
#   bash cmake/release.sh [OUT [PRESET...]]    (build/release; win32 native)
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$source/build/release}
[ $# -gt 0 ] && shift
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(win32 native)
mkdir -p "$out"
out=$(cd "$out" && pwd)

files=()
for preset in "${presets[@]}"; do
  build=$out/$preset
  case $preset in
    win32) targets=(setup package) ;;
    native) targets=(deb) ;;
    *) echo "release.sh: no release files in preset $preset" >&2; exit 2 ;;
  esac
  # Fresh: only a folder that CMake made is removed.
  if [ -e "$build" ] && [ ! -f "$build/CMakeCache.txt" ]; then
    echo "release.sh: $build is in the way and is no build folder" >&2
    exit 2
  fi
  rm -rf "$build"
  log=$out/$preset.log
  echo "== $preset: building in $build (log: $log)"
  if ! { (cd "$source" && cmake --preset "$preset" -B "$build" -DZARNO_TESTS=OFF -DZARNO_BENCH=OFF) &&
         cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"; } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "release.sh: building $preset failed" >&2
    exit 1
  fi
  case $preset in
    win32) made=("$build"/ZarnoLaunch-*-Windows.zip "$build"/ZarnoLaunch-*-setup.exe) ;;
    native) made=("$build"/zarnolaunch_*.deb) ;;
  esac
  for file in "${made[@]}"; do
    cp "$file" "$out/"
    files+=("$(basename "$file")")
  done
done
(cd "$out" && sha256sum "${files[@]}" >SHA256SUMS)
echo "== release in $out:"
cat "$out/SHA256SUMS"
