#!/usr/bin/env bash
# The Linux packages, one table of formats.  Each is unpacked into a private
# root, never installed into the system (a system-wide entry would outlive
# the test and answer for the type in every later one), and checked alike:
# its files against what "cmake --install" installs, their modes and
# owners, its version, licences and changelog, what its own checker says,
# and the desktop's tools using the unpacked tree.
#
#   package_test.sh FORMAT FILE SOURCE BUILD VERSION
#
#   format   unpacked by         its own checks
#   deb      dpkg-deb            control fields, copyright and changelog;
#                                lintian, which names what the control
#                                file's recipe lists, and nothing else
#   rpm      rpm2cpio, cpio      header fields; rpmlint, which names what the
#                                RPM recipe's head lists, and nothing else
#   arch     bsdtar              .PKGINFO (Debian has no namcap)
#   aur      bsdtar              the AUR's recipe (FILE) built by makepkg
#                                from the source release: .PKGINFO, and
#                                .SRCINFO against the Arch package's fields
#   tarball  bsdtar              one top folder, whose launcher "-install"s
set -uo pipefail
format=$1 file=$2 source=$3 build=$4 version=$5
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {  # what, expected, actual
  [ "$2" == "$3" ] || fail "$1: expected [$2], got [$3]"
}

# The build's one install ("cmake --install", cmake/Package.cmake).
installed=$build/packaging/root
texts() { python3 "$source/cmake/package_texts.py" "$@"; }
arch=$(uname -m)
if [ "$format" == aur ]; then
  # Built here, as an AUR helper would: the recipe beside the source
  # release it names.
  mkdir "$tmp/aur"
  cp "$file" "$build/zarnolaunch-$version.tar.gz" "$tmp/aur/"
  bash "$source/cmake/linux-package.sh" arch "$tmp/aur" "$build/packaging/makepkg.conf" \
    "$(cat "$build/generated/source-date-epoch")" "$tmp/aur.pkg.tar.zst" || fail "makepkg: the AUR's recipe"
  srcinfo=$(dirname "$file")/.SRCINFO file=$tmp/aur.pkg.tar.zst
fi
root=$tmp/root
mkdir -p "$root"
# Unpacks the package into root and lists every entry as "mode owner path".
case $format in
deb) dpkg-deb -x "$file" "$root" && dpkg-deb -c "$file" | awk '{print $1, $2, $6}' >"$tmp/entries" ;;
rpm) (cd "$root" && rpm2cpio "$file" | cpio -idm --quiet) &&
  rpm -qp --qf '[%{FILEMODES:perms} %{FILEUSERNAME}/%{FILEGROUPNAME} %{FILENAMES}\n]' "$file" >"$tmp/entries" ;;
arch | aur | tarball) bsdtar -xf "$file" -C "$root" && bsdtar -tvf "$file" | awk '{print $1, $3 "/" $4, $9}' >"$tmp/entries" ;;
esac || { echo "FAIL: $format: cannot unpack $file"; exit 1; }
sed -i -e 's| \.\?/| |' -e 's| 0/0 | root/root |' -e '/ $/d' "$tmp/entries"
share=$root/usr/share

# What "cmake --install" installs, then what each format holds: the same
# program, desktop files, icons and documents at the same paths, and each
# system's own extras.
icons=$(cd "$source/resources" && find hicolor -type f | sort)
program=usr/bin/zarnolaunch
doc=usr/share/doc/zarnolaunch licences=usr/share/licenses/zarnolaunch
common="$program
usr/share/applications/zarnolaunch.desktop
$(echo "$icons" | sed 's|^|usr/share/icons/|')
usr/share/mime/packages/zarnolaunch.xml"
install="$common $doc/README.md $licences/LICENSE $licences/THIRD-PARTY-NOTICES"
expect "what cmake --install installs" "$(echo $install | tr ' ' '\n' | sort)" \
  "$(cd "$installed" && find . -type f | sed 's|^\./||' | sort)"
case $format in
deb) name=zarnolaunch_${version}_$(dpkg --print-architecture).deb
  files="$common $doc/README.md.gz $doc/changelog.gz $doc/copyright usr/share/lintian/overrides/zarnolaunch" ;;
rpm) name=zarnolaunch-$version-1.$arch.rpm files=$install ;;
arch | aur) name=zarnolaunch-$version-1-$arch.pkg.tar.zst files="$install .BUILDINFO .MTREE .PKGINFO" ;;
tarball) name=zarnolaunch-$version-linux-$arch.tar.gz program=zarnolaunch-$version/zarnolaunch
  files="$program zarnolaunch-$version/README.md zarnolaunch-$version/LICENSE zarnolaunch-$version/THIRD-PARTY-NOTICES" ;;
esac
[ "$format" == aur ] || expect "file name" "$name" "$(basename "$file")"
expect "files" "$(echo $files | tr ' ' '\n' | sort)" "$(awk '$1 !~ /^d/ {print $3}' "$tmp/entries" | sort)"
# Everything is root's; folders and the program are 0755, every other file
# 0644 (Debian's policy 10.9, and the same everywhere), whatever the umask.
expect "modes and owners" "" "$(awk -v program="$program" '
  { want = $1 ~ /^d/ ? "drwxr-xr-x" : $3 == program ? "-rwxr-xr-x" : "-rw-r--r--" }
  $1 != want || $2 != "root/root" { print $3, $1, $2 }' "$tmp/entries")"

# The same files as the install's, byte for byte: the one stripped launcher
# (the AUR's is its own build), the desktop entry that "-install" writes but
# naming the launcher on the PATH, the MIME package, the icons, the
# documents and the licences.
if [ "$format" != aur ]; then
  cmp -s "$installed/usr/bin/zarnolaunch" "$root/$program" || fail "$program is not the build's stripped launcher"
  case $(file -b "$root/$program") in
    *"static-pie linked"*", stripped"*) ;;
    *) fail "the launcher is not a stripped static PIE: $(file -b "$root/$program")" ;;
  esac
fi
expect "the installed desktop entry" \
  "$(sed -e 's/@TRY_EXEC@/zarnolaunch/' -e 's/@EXEC@/zarnolaunch/' "$build/generated/zarnolaunch.desktop.in")" \
  "$(cat "$installed/usr/share/applications/zarnolaunch.desktop")"
if [ "$format" != tarball ]; then
  for f in applications/zarnolaunch.desktop mime/packages/zarnolaunch.xml $(echo "$icons" | sed 's|^|icons/|'); do
    cmp -s "$installed/usr/share/$f" "$share/$f" || fail "usr/share/$f is not the install's"
  done
  cmp -s "$build/generated/zarnolaunch-mime.xml" "$share/mime/packages/zarnolaunch.xml" ||
    fail "the MIME package is not the build's zarnolaunch-mime.xml"
fi
for f in $files; do
  case $f in
  */README.md.gz) gzip -9nc "$source/README.md" | cmp -s - "$root/$f" ;;  # gzip -n: no name or time
  */changelog.gz) gzip -9nc "$build/deb/changelog.deb" | cmp -s - "$root/$f" ;;
  */copyright) cmp -s "$build/deb/copyright" "$root/$f" ;;
  */README.md | */LICENSE | */THIRD-PARTY-NOTICES) [ -f "$root/$f" ] && [ ! -L "$root/$f" ] &&
    cmp -s "$source/$(basename "$f")" "$root/$f" ;;
  esac || fail "$f is not made from the project's $(basename "$f" .gz)"
done

# The version, licences and changelog, as each system's tools read them.
spdx=$(texts spdx "$source/THIRD-PARTY-NOTICES" zarnolaunch)
changes=$(sed -n 's/^## \([^ ]*\) .*/\1/p' "$source/CHANGELOG.md")
listed() { sed -n 's/^#   [EW]: \([a-z-]*\).*/\1/p' "$1" | sort; }
case $format in
deb)
  field() { dpkg-deb -f "$file" "$1"; }
  expect "Package Version Architecture" "zarnolaunch $version $(dpkg --print-architecture)" \
    "$(field Package) $(field Version) $(field Architecture)"
  expect "Depends" "" "$(field Depends)"
  expect "Recommends" xdg-utils "$(field Recommends)"
  expect "Suggests" "wine, zenity | kdialog | x11-utils" "$(field Suggests)"
  # No maintainer scripts: Debian's triggers do the desktop's part.
  expect "control files" "./control ./md5sums" \
    "$(dpkg-deb --ctrl-tarfile "$file" | tar -t | grep -v '^\./$' | sort | xargs)"
  expect "the changelog's versions" "$changes" \
    "$(zcat "$root/$doc/changelog.gz" | sed -n 's/^zarnolaunch (\(.*\)) stable.*/\1/p')"
  expect "the copyright file's licences" "Expat LGPL-2.1+ glibc-LICENSES GPL-3+ GCC-exception-3.1" \
    "$(sed -n 's/^License: \([^ ]*\)$/\1/p' "$root/$doc/copyright" | uniq | xargs)"
  out=$(timeout 600 lintian --pedantic "$file" 2>&1 | grep -v '^running with root')
  expect "lintian's errors and warnings, as the recipe lists them" "$(listed "$source/packaging/deb-control.in")" \
    "$(echo "$out" | sed -n 's/^[EW]: zarnolaunch: \([a-z-]*\).*/\1/p' | sort)"
  ;;
rpm)
  expect "name, version, arch, licence" "zarnolaunch $version-1 $arch $spdx" \
    "$(rpm -qp --qf '%{NAME} %{VERSION}-%{RELEASE} %{ARCH} %{LICENSE}' "$file")"
  # Linked statically: it needs nothing but RPM itself; and no scriptlets.
  expect "requires" "" "$(rpm -qp --requires "$file" | grep -v '^rpmlib(')"
  expect "scriptlets" "" "$(rpm -qp --scripts --triggers --filetriggers "$file")"
  expect "licence files" "/$licences/LICENSE /$licences/THIRD-PARTY-NOTICES" "$(rpm -qp --licensefiles "$file" | xargs)"
  expect "the changelog's versions" "$(echo "$changes" | sed 's/$/-1/')" \
    "$(rpm -qp --changelog "$file" | sed -n 's/^\* .* - \(.*\)$/\1/p')"
  out=$(rpmlint -c "$source/packaging/rpmlint.toml" "$file" 2>&1)
  expect "rpmlint's errors and warnings, as the spec lists them" "$(listed "$build/packaging/zarnolaunch.spec")" \
    "$(echo "$out" | sed -n 's/^zarnolaunch[^ ]*: [EW]: \([a-z-]*\).*/\1/p' | sort)"
  ;;
arch)
  expect ".PKGINFO" "pkgname = zarnolaunch
pkgver = $version-1
arch = $arch
$(echo "$spdx" | sed 's/ AND /\n/g' | sed 's/^/license = /')" \
    "$(grep -E '^(pkgname|pkgver|arch|license|depend|makedepend) ' "$root/.PKGINFO")"
  ;;
aur)
  # A build of its own, linked to the system's libraries, with the fields
  # of the release's Arch package where the two agree.
  expect ".PKGINFO" "pkgname = zarnolaunch
pkgver = $version-1
arch = $arch
license = MIT
depend = glibc
depend = gcc-libs
depend = libyaml
makedepend = cmake
makedepend = nlohmann-json
makedepend = python" "$(grep -E '^(pkgname|pkgver|arch|license|depend|makedepend) ' "$root/.PKGINFO")"
  arch_recipe=$build/packaging/arch/PKGBUILD
  for key in pkgdesc url pkgver pkgrel; do
    expect ".SRCINFO's $key" "$(sed -n "s/^$key=//p" "$arch_recipe" | tr -d "'")" \
      "$(sed -n "s/^\t$key = //p" "$srcinfo")"
  done
  expect ".SRCINFO's source" "source = $(sed -n 's/^set(ZARNO_RELEASE_URL "\(.*\)\/\${PROJECT_VERSION}")$/\1/p' \
    "$source/CMakeLists.txt")/$version/zarnolaunch-$version.tar.gz" "$(sed -n 's/^\t\(source = .*\)/\1/p' "$srcinfo")"
  expect ".SRCINFO's sum" "sha256sums = $(sha256sum <"$build/zarnolaunch-$version.tar.gz" | cut -d' ' -f1)" \
    "$(sed -n 's/^\t\(sha256sums = .*\)/\1/p' "$srcinfo")"
  ;;
esac
echo "$format: ${out:-(no checker)}"

# The desktop's tools on the unpacked tree: what each system's triggers or
# hooks would run when the files land, then the types and links resolve to
# the package's entry.  The portable launcher registers itself instead.
home=$tmp/home
mkdir -p "$home" "$tmp/links"
printf 'REGEDIT4\n\n[HKEY_CLASSES_ROOT\\Zarnok\\shell\\open\\command]\n@="\\"%s\\" \\"%%1\\""\n' \
  "$build/zarnok-demo" >"$tmp/registry.reg"
printf '[ZarnoLaunch]\nServer=alpha.beta.gamma:7777\n' >"$tmp/links/alpha.zarnok"
# A private HOME with nothing of ours in it; the package's root comes first
# among the system's data folders, and its launcher first on the PATH.
# Generic xdg-open, as on a desktop it does not know, and no browser to
# fall back on.
run() {
  env -i HOME="$home" PATH="$root/usr/bin:/usr/bin:/bin" DISPLAY=:0 XDG_CURRENT_DESKTOP=X-Generic BROWSER=false \
    XDG_DATA_DIRS="$share:/usr/share" ZARNOLAUNCH_REGISTRY="$tmp/registry.reg" \
    ZARNOK_RECORD="$tmp/record" timeout 60 "$@"
}
user_data=$home/.local/share
# Both types go to the entry; a link file and a link start the game on
# their servers, whichever opener hands them over.  With "seen", the
# launcher that ran must have left that file.
opens() {
  local seen=${1:-}
  expect "type of a link file" application/zarnolaunch "$(run xdg-mime query filetype "$tmp/links/alpha.zarnok")"
  for type in application/zarnolaunch x-scheme-handler/zarnolaunch; do
    expect "handler of $type" zarnolaunch.desktop "$(run xdg-mime query default "$type")"
  done
  for opener in xdg-open "gio open"; do
    for target in "$tmp/links/alpha.zarnok=21:alpha.beta.gamma:7777" \
                  "zarnolaunch://delta.epsilon.zeta:1234/=23:delta.epsilon.zeta:1234"; do
      rm -f "$tmp/record" "$tmp/seen"
      # shellcheck disable=SC2086
      out=$(run $opener "${target%=*}" 2>&1) || fail "$opener ${target%=*}: $out"
      for _ in $(seq 100); do [ -e "$tmp/record" ] && break; sleep 0.1; done
      expect "$opener ${target%=*}: the game's arguments" "${target#*=}" "$(cat "$tmp/record" 2>/dev/null)"
      [ -z "$seen" ] || [ -e "$tmp/seen" ] || fail "$opener ${target%=*}: $seen did not run"
      [ -n "$seen" ] || [ ! -e "$tmp/seen" ] || fail "$opener ${target%=*}: the user's entry ran"
    done
  done
}
# The launcher that the user's own "-install" registers, and a mark left
# whenever it runs from then on.
copy=$tmp/mine/zarnolaunch
[ "$format" != tarball ] || copy=$root/$program
marked() {
  mv "$copy" "$copy.real"
  printf '#!/bin/sh\ntouch "%s"\nexec "%s" "$@"\n' "$tmp/seen" "$copy.real" >"$copy"
  chmod +x "$copy"
}

if [ "$format" == aur ]; then
  :  # the Arch package's row runs the desktop's tools on the same files
elif [ "$format" == tarball ]; then
  run "$copy" -quiet -install
  marked
  opens "the unpacked launcher"
else
  update-mime-database "$share/mime" >/dev/null || fail "update-mime-database"
  update-desktop-database "$share/applications" || fail "update-desktop-database"
  out=$(desktop-file-validate "$share/applications/zarnolaunch.desktop" 2>&1) || fail "desktop-file-validate: $out"
  expect "desktop-file-validate" "" "$out"
  find "$root" -type f -exec sha256sum {} + | sort >"$tmp/package.sums"
  opens

  # A user's own "-install" writes the same files, but for its own copy of
  # the launcher, and takes precedence for that user.
  mkdir -p "$tmp/mine" && cp "$build/zarnolaunch" "$copy"
  run "$copy" -quiet -install
  cmp -s "$share/mime/packages/zarnolaunch.xml" "$user_data/mime/packages/zarnolaunch.xml" ||
    fail "-install wrote another MIME package"
  expect "-install's desktop entry" \
    "$(sed "s|^TryExec=zarnolaunch$|TryExec=$copy|; s|^Exec=zarnolaunch |Exec=$copy |" "$installed/usr/share/applications/zarnolaunch.desktop")" \
    "$(cat "$user_data/applications/zarnolaunch.desktop")"
  marked
  opens "the user's copy"

  # "-uninstall" takes the user's files away and leaves the package's.
  mv "$copy.real" "$copy"
  run "$copy" -quiet -uninstall || fail "-uninstall"
  for f in applications/zarnolaunch.desktop mime/packages/zarnolaunch.xml; do
    [ ! -e "$user_data/$f" ] || fail "-uninstall left $f"
  done
  find "$root" -type f -exec sha256sum {} + | sort | cmp -s - "$tmp/package.sums" ||
    fail "-uninstall changed the package's files"
  marked
  opens
fi

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "passed"
