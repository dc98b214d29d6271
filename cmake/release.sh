#!/usr/bin/env bash
# Makes a release of the checked-out commit in fresh build folders:
#
#   OUT/ZarnoLaunch-<version>-Windows.zip    (preset win32)
#   OUT/ZarnoLaunch-<version>-setup.exe      (preset win32)
#   OUT/zarnolaunch.json                     (preset win32) Scoop's manifest
#   OUT/winget/ZarnoLaunch.ZarnoLaunch*.yaml (preset win32) winget's manifests
#   OUT/zarnolaunch_<version>_<arch>.deb     (preset native)
#   OUT/zarnolaunch-<version>-1.x86_64.rpm   (preset native)
#   OUT/zarnolaunch-<version>-1-x86_64.pkg.tar.zst   (preset native)
#   OUT/zarnolaunch-<version>-linux-x86_64.tar.gz    (preset native)
#   OUT/zarnolaunch-<version>.tar.gz         (preset native) the source release
#   OUT/aur/PKGBUILD, OUT/aur/.SRCINFO       (preset native) the AUR's recipe,
#                                            which builds from the source release
#   OUT/zarnolaunch-join-<version>.zip       (preset native) the join page
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
shopt -s extglob
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
    native) targets=(deb tarball rpm arch source aur join) ;;
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
         cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" &&
         # The manifests hold the sums of the zip and the setup.
         if [ "$preset" == win32 ]; then cmake --build "$build" --target manifests; fi; } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "release.sh: building $preset failed" >&2
    exit 1
  fi
  # Each file by its name in the release, as found in the build folder.
  case $preset in
    win32) made=('ZarnoLaunch-*-Windows.zip' 'ZarnoLaunch-*-setup.exe' zarnolaunch.json 'winget/*.yaml') ;;
    native) made=('zarnolaunch_*.deb' 'zarnolaunch-*.rpm' 'zarnolaunch-*.pkg.tar.zst' 'zarnolaunch-*-linux-*.tar.gz'
                  'zarnolaunch-+([0-9.]).tar.gz' aur/PKGBUILD aur/.SRCINFO 'zarnolaunch-join-*.zip') ;;
  esac
  for file in "${made[@]}"; do
    for found in "$build"/$file; do
      name=${found#"$build"/}
      mkdir -p "$(dirname "$out/$name")"
      cp "$found" "$out/$name"
      files+=("$name")
    done
  done
done
(cd "$out" && sha256sum "${files[@]}" >SHA256SUMS)
echo "== release in $out:"
cat "$out/SHA256SUMS"
