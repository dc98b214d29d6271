#!/usr/bin/env bash
# The Linux packages, one table of formats.  Each is unpacked into a private
# root, never installed into the system (a system-wide entry would outlive
# the test and answer for the type in every later one), and checked alike:
# its files, their modes and owners, its version, what its own checker says,
# and the desktop's tools using the unpacked tree.
#
#   package_test.sh FORMAT FILE SOURCE BUILD VERSION [LINTIAN_TAGS]
#
#   format   unpacked by         its own checks
#   deb      dpkg-deb            control fields; lintian, which may name only
#                                LINTIAN_TAGS (packaging/deb.cmake)
#   rpm      rpm2cpio, cpio      header fields; rpmlint, which names what the
#                                RPM recipe's head lists, and nothing else
#   arch     bsdtar              .PKGINFO (Debian has no namcap)
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

# What the build staged for every format (cmake/Package.cmake).
stage=$build/packaging
root=$tmp/root
mkdir -p "$root"
arch=$(uname -m)
# Unpacks the package into root and lists every entry as "mode owner path".
case $format in
deb) dpkg-deb -x "$file" "$root" && dpkg-deb -c "$file" | awk '{print $1, $2, $6}' >"$tmp/entries" ;;
rpm) (cd "$root" && rpm2cpio "$file" | cpio -idm --quiet) &&
  rpm -qp --qf '[%{FILEMODES:perms} %{FILEUSERNAME}/%{FILEGROUPNAME} %{FILENAMES}\n]' "$file" >"$tmp/entries" ;;
arch | tarball) bsdtar -xf "$file" -C "$root" && bsdtar -tvf "$file" | awk '{print $1, $3 "/" $4, $9}' >"$tmp/entries" ;;
esac || { echo "FAIL: $format: cannot unpack $file"; exit 1; }
sed -i -e 's| \.\?/| |' -e 's| 0/0 | root/root |' -e '/ $/d' "$tmp/entries"
share=$root/usr/share

# The files (not folders) each format holds: the same program, desktop
# files and icons at the same paths, and each system's documents.
icons=$(cd "$source/resources" && find hicolor -type f | sort)
program=usr/bin/zarnolaunch
common="$program
usr/share/applications/zarnolaunch.desktop
$(echo "$icons" | sed 's|^|usr/share/icons/|')
usr/share/mime/packages/zarnolaunch.xml"
doc=usr/share/doc/zarnolaunch
case $format in
deb) name=zarnolaunch_${version}_$(dpkg --print-architecture).deb
  files="$common $doc/README.md.gz $doc/changelog.gz $doc/copyright usr/share/lintian/overrides/zarnolaunch" ;;
rpm) name=zarnolaunch-$version-1.$arch.rpm files="$common $doc/README.md $doc/copyright" ;;
arch) name=zarnolaunch-$version-1-$arch.pkg.tar.zst
  files="$common .BUILDINFO .MTREE .PKGINFO $doc/README.md $doc/copyright usr/share/licenses/zarnolaunch/copyright" ;;
tarball) name=zarnolaunch-$version-linux-$arch.tar.gz program=zarnolaunch-$version/zarnolaunch
  files="$program zarnolaunch-$version/README.md zarnolaunch-$version/copyright" ;;
esac
expect "file name" "$name" "$(basename "$file")"
expect "files" "$(echo $files | tr ' ' '\n' | sort)" "$(awk '$1 !~ /^d/ {print $3}' "$tmp/entries" | sort)"
# Everything is root's; folders and the program are 0755, links 0777, every
# other file 0644 (Debian's policy 10.9, and the same everywhere).
expect "modes and owners" "" "$(awk -v program="$program" '
  { want = $1 ~ /^d/ ? "drwxr-xr-x" : $1 ~ /^l/ ? "lrwxrwxrwx" : $3 == program ? "-rwxr-xr-x" : "-rw-r--r--" }
  $1 != want || $2 != "root/root" { print $3, $1, $2 }' "$tmp/entries")"

# The same files as the build's, byte for byte: the one stripped launcher,
# the desktop entry that "-install" writes but naming the launcher on the
# PATH, the MIME package, the icons and the documents.
cmp -s "$stage/zarnolaunch" "$root/$program" || fail "$program is not the build's stripped launcher"
case $(file -b "$root/$program") in
  *"static-pie linked"*", stripped"*) ;;
  *) fail "the launcher is not a stripped static PIE: $(file -b "$root/$program")" ;;
esac
expect "the staged desktop entry" \
  "$(sed -e 's/@TRY_EXEC@/zarnolaunch/' -e 's/@EXEC@/zarnolaunch/' "$build/generated/zarnolaunch.desktop.in")" \
  "$(cat "$stage/zarnolaunch.desktop")"
if [ "$format" != tarball ]; then
  # desktop-file-install (the RPM's %install) adds its mark and a blank line.
  expect "desktop entry" "$(cat "$stage/zarnolaunch.desktop")" \
    "$(grep -v -e '^X-Desktop-File-Install-Version=' -e '^$' "$share/applications/zarnolaunch.desktop")"
  cmp -s "$build/generated/zarnolaunch-mime.xml" "$share/mime/packages/zarnolaunch.xml" ||
    fail "the MIME package is not the build's zarnolaunch-mime.xml"
  for icon in $icons; do
    cmp -s "$source/resources/$icon" "$share/icons/$icon" || fail "the icon is not resources/$icon"
  done
fi
readme=$root/$(echo $files | tr ' ' '\n' | grep README)
if [ "$format" == deb ]; then
  # Compressed by gzip -n: no name or time in the header.
  gzip -9nc "$source/README.md" | cmp -s - "$readme" || fail "README.md.gz is not README.md compressed by gzip -9n"
else
  cmp -s "$source/README.md" "$readme" || fail "the README is not README.md"
fi
cmp -s "$source/resources/copyright" "$(dirname "$readme")/copyright" || fail "the copyright file differs"

# The version and the fields, as each system's tools read them.
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
  out=$(timeout 600 lintian --fail-on error,warning --suppress-tags "${6:-}" "$file" 2>&1) ||
    fail "lintian: $out"
  ;;
rpm)
  expect "name, version, arch" "zarnolaunch $version-1 $arch" \
    "$(rpm -qp --qf '%{NAME} %{VERSION}-%{RELEASE} %{ARCH}' "$file")"
  # Linked statically: it needs nothing but RPM itself; and no scriptlets.
  expect "requires" "" "$(rpm -qp --requires "$file" | grep -v '^rpmlib(')"
  expect "scriptlets" "" "$(rpm -qp --scripts --triggers --filetriggers "$file")"
  listed=$(sed -n 's/^#   [EW]: \([a-z-]*\).*/\1/p' "$stage/zarnolaunch.spec" | sort)
  out=$(rpmlint "$file" 2>&1)
  expect "rpmlint's errors and warnings, as the spec lists them" "$listed" \
    "$(echo "$out" | sed -n 's/^zarnolaunch[^ ]*: [EW]: \([a-z-]*\).*/\1/p' | sort)"
  ;;
arch)
  expect ".PKGINFO" "pkgname = zarnolaunch
pkgver = $version-1
arch = $arch" "$(grep -E '^(pkgname|pkgver|arch|depend|makedepend) ' "$root/.PKGINFO")"
  expect "licence link" "$root/$doc/copyright" "$(readlink -f "$root/usr/share/licenses/zarnolaunch/copyright")"
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

if [ "$format" == tarball ]; then
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
    "$(sed "s|^TryExec=zarnolaunch$|TryExec=$copy|; s|^Exec=zarnolaunch |Exec=$copy |" "$stage/zarnolaunch.desktop")" \
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
