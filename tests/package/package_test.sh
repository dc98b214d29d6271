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
install="$common $doc/README.md $doc/players-linux.md $licences/LICENSE $licences/THIRD-PARTY-NOTICES"
expect "what cmake --install installs" "$(echo $install | tr ' ' '\n' | sort)" \
  "$(cd "$installed" && find . -type f | sed 's|^\./||' | sort)"
case $format in
deb) name=zarnolaunch_${version}_$(dpkg --print-architecture).deb
  files="$common $doc/README.md.gz $doc/players-linux.md.gz $doc/changelog.gz $doc/copyright
    usr/share/lintian/overrides/zarnolaunch" ;;
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
  */players-linux.md.gz) gzip -9nc "$source/docs/players-linux.md" | cmp -s - "$root/$f" ;;
  */players-linux.md) cmp -s "$source/docs/players-linux.md" "$root/$f" ;;
  */changelog.gz) gzip -9nc "$build/deb/changelog.deb" | cmp -s - "$root/$f" ;;
  */copyright) cmp -s "$build/deb/copyright" "$root/$f" ;;
  zarnolaunch-*/README.md) cmp -s "$build/packaging/portable/README.md" "$root/$f" &&
    grep -q "^    ~/Downloads/zarnolaunch-$version/zarnolaunch -install$" "$root/$f" ;;
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
# The launcher that the user's own "-install" registers (a copy of the
# build's, or the portable download's own copy), and a mark left whenever
# it runs from then on.
copy=$home/.local/bin/zarnolaunch
marked() {
  mv "$copy" "$copy.real"
  printf '#!/bin/sh\ntouch "%s"\nexec "%s" "$@"\n' "$tmp/seen" "$copy.real" >"$copy"
  chmod +x "$copy"
}
# Nothing of the user's registration is left, nor the launcher's copy.
unregistered() {  # after what
  [ ! -e "$copy" ] || fail "$1 left the copy in ~/.local/bin"
  for f in applications/zarnolaunch.desktop mime/packages/zarnolaunch.xml; do
    [ ! -e "$user_data/$f" ] || fail "$1 left $f"
  done
  ! grep -qs zarnolaunch "$home/.config/mimeapps.list" || fail "$1 left the defaults in mimeapps.list"
}

if [ "$format" == aur ]; then
  :  # the Arch package's row runs the desktop's tools on the same files
elif [ "$format" == tarball ]; then
  # Unpacked in the download folder, as a player does: "-install" registers
  # its copy in ~/.local/bin, and the download may go.
  mkdir -p "$home/Downloads" "$home/.config"
  echo 'XDG_DOWNLOAD_DIR="$HOME/Downloads"' >"$home/.config/user-dirs.dirs"
  cp -r "$root/zarnolaunch-$version" "$home/Downloads/"
  run "$home/Downloads/zarnolaunch-$version/zarnolaunch" -quiet -install
  rm -r "$home/Downloads/zarnolaunch-$version"
  cmp -s "$root/$program" "$copy" || fail "-install from the download folder made no copy in ~/.local/bin"
  marked
  opens "the launcher's copy"
  mv "$copy.real" "$copy"
  run "$copy" -quiet -uninstall || fail "-uninstall"
  unregistered "-uninstall"
else
  update-mime-database "$share/mime" >/dev/null || fail "update-mime-database"
  update-desktop-database "$share/applications" || fail "update-desktop-database"
  out=$(desktop-file-validate "$share/applications/zarnolaunch.desktop" 2>&1) || fail "desktop-file-validate: $out"
  expect "desktop-file-validate" "" "$out"
  find "$root" -type f -exec sha256sum {} + | sort >"$tmp/package.sums"
  opens

  # The package's own launcher, as the README tells its users to run it
  # (to find the game), writes no registration of the user's, and takes
  # away the one an older version wrote for it.
  mkdir -p "$user_data/applications" "$home/.config"
  sed "s|^TryExec=zarnolaunch$|TryExec=$root/$program|" "$share/applications/zarnolaunch.desktop" \
    >"$user_data/applications/zarnolaunch.desktop"
  printf '[Default Applications]\nx-scheme-handler/zarnolaunch=zarnolaunch.desktop;\n' >"$home/.config/mimeapps.list"
  run "$root/$program" -quiet -logfile "$tmp/install.log" -install
  grep -q "^The system's desktop entry \"$share/applications/zarnolaunch.desktop\" names this launcher" \
    "$tmp/install.log" || fail "-install of the package's launcher: $(cat "$tmp/install.log")"
  unregistered "-install of the package's launcher"

  # A user's own "-install" writes the same files, but for its own copy of
  # the launcher, and takes precedence for that user.
  mkdir -p "$(dirname "$copy")" && cp "$build/zarnolaunch" "$copy"
  run "$copy" -quiet -install
  cmp -s "$share/mime/packages/zarnolaunch.xml" "$user_data/mime/packages/zarnolaunch.xml" ||
    fail "-install wrote another MIME package"
  expect "-install's desktop entry" \
    "$(sed "s|^TryExec=zarnolaunch$|TryExec=$copy|; s|^Exec=zarnolaunch |Exec=$copy |" "$installed/usr/share/applications/zarnolaunch.desktop")" \
    "$(cat "$user_data/applications/zarnolaunch.desktop")"
  marked
  opens "the user's copy"

  # "-uninstall" takes the user's files away, the copy with them, and leaves
  # the package's.
  mv "$copy.real" "$copy"
  run "$copy" -quiet -uninstall || fail "-uninstall"
  unregistered "-uninstall"
  find "$root" -type f -exec sha256sum {} + | sort | cmp -s - "$tmp/package.sums" ||
    fail "-uninstall changed the package's files"
  opens

  # The package's life as its manager leads it: one of a lower version, made
  # from this one's recipe, installed into a scratch root, upgraded to this
  # one, then removed.  The scratch root is this system under an overlay
  # whose writes stay in the test's folder, so that the system's own
  # triggers run: Debian's are the installed shared-mime-info's,
  # desktop-file-utils's and the icon caches'; Fedora's file triggers and
  # Arch's hooks, whose packages Debian lacks, are stand-ins that run the
  # same tools on the same folders.  Whatever is left after the removal is
  # the managers' own state or those tools' caches, which know nothing of
  # ours any longer.
  lower=0.$version epoch=$(cat "$build/generated/source-date-epoch")
  linux_package() { bash "$source/cmake/linux-package.sh" "$@" || fail "a package of version $lower"; }
  case $format in
  deb) cp -r "$build/deb" "$tmp/lower"
    sed -i "s/^Version: .*/Version: $lower/" "$tmp/lower/control"
    linux_package deb "$build/packaging" "$tmp/lower" "$source/packaging/lintian-overrides" "$epoch" "$tmp/lower-$lower.pkg" ;;
  rpm) sed "s/^Version: .*/Version: $lower/" "$build/packaging/zarnolaunch.spec" >"$tmp/lower.spec"
    linux_package rpm "$build/packaging" "$tmp/lower.spec" "$epoch" "$tmp/lower-$lower.pkg"
    # Fedora's shared-mime-info, desktop-file-utils and hicolor-icon-theme
    # (update-mime-database without -n, which passes over a cache written
    # in the same second, as every step here is).
    mkdir -p "$tmp/triggers"
    { printf 'Name: triggers\nVersion: 1\nRelease: 1\nSummary: triggers\nLicense: MIT\nBuildArch: noarch\n'
      printf '%%description\nThe file triggers of Fedora'"'"'s packages that keep the desktop'"'"'s caches.\n'
      for trigger in "/usr/share/mime update-mime-database /usr/share/mime" \
        "/usr/share/applications update-desktop-database" \
        "/usr/share/icons/hicolor gtk-update-icon-cache --force /usr/share/icons/hicolor"; do
        for when in in postun; do printf '%%transfiletrigger%s -- %s\n%s >/dev/null 2>&1 || :\n' $when "${trigger%% *}" "${trigger#* }"; done
      done
      printf '%%files\n'; } >"$tmp/triggers/triggers.spec"
    rpmbuild -bb --quiet --define "_topdir $tmp/triggers" --define "_rpmdir $tmp/triggers" \
      "$tmp/triggers/triggers.spec" >/dev/null 2>&1 || fail "the stand-in triggers" ;;
  arch) cp -r "$build/packaging/arch" "$tmp/lower"
    sed -i "s/^pkgver=.*/pkgver=$lower/" "$tmp/lower/PKGBUILD"
    linux_package arch "$tmp/lower" "$build/packaging/makepkg.conf" "$epoch" "$tmp/lower-$lower.pkg" "$installed"
    # Arch's shared-mime-info, desktop-file-utils and gtk-update-icon-cache.
    mkdir -p "$tmp/hooks"
    for hook in "usr/share/mime/packages/*.xml /usr/bin/update-mime-database /usr/share/mime" \
      "usr/share/applications/*.desktop /usr/bin/update-desktop-database --quiet" \
      "usr/share/icons/hicolor/* /usr/bin/gtk-update-icon-cache -q -t -f /usr/share/icons/hicolor"; do
      printf '[Trigger]\nType = Path\nOperation = Install\nOperation = Upgrade\nOperation = Remove\nTarget = %s\n\n[Action]\nDescription = %s\nWhen = PostTransaction\nExec = %s\n' \
        "${hook%% *}" "${hook%% *}" "${hook#* }" >"$tmp/hooks/$(echo "${hook%% *}" | tr -c 'a-z\n' -).hook"
    done
    printf '[options]\nArchitecture = auto\nSigLevel = Never\nLocalFileSigLevel = Never\n' >"$tmp/pacman.conf" ;;
  esac
  cat >"$tmp/lifecycle" <<'SCRIPT'
format=$1 tmp=$2 new=$3 version=$4 lower=$5 lower_version=$6
R=$tmp/scratch/root up=$tmp/scratch/upper
mkdir -p "$tmp/scratch" && mount -t tmpfs tmpfs "$tmp/scratch" && mkdir "$up" "$tmp/scratch/work" "$R" &&
  mount -t overlay overlay -o "lowerdir=/,upperdir=$up,workdir=$tmp/scratch/work" "$R" &&
  mount --rbind /dev "$R/dev" && mount -t proc proc "$R/proc" || { echo "FAIL: no scratch root"; exit 1; }
pacman_in() { pacman --root "$R" --dbpath "$R/var/lib/pacman" --config "$tmp/pacman.conf" \
  --hookdir "$tmp/hooks" --noconfirm "$@"; }
manage() {  # install FILE | remove
  case $format:$1 in
  deb:install) dpkg --root="$R" -i "$2" ;;
  deb:remove) dpkg --root="$R" -r zarnolaunch ;;
  rpm:install) rpm --root "$R" --dbpath /var/lib/rpm -U --nodeps "$2" ;;
  rpm:remove) rpm --root "$R" --dbpath /var/lib/rpm -e zarnolaunch ;;
  arch:install) pacman_in -U "$2" ;;
  arch:remove) pacman_in -R zarnolaunch ;;
  esac >>"$tmp/manager.log" 2>&1 || echo "FAIL: $format $1 ${2:-}: $(tail -5 "$tmp/manager.log")"
}
installed() {
  case $format in
  deb) dpkg-query --admindir="$R/var/lib/dpkg" -W -f '${Version}' zarnolaunch 2>/dev/null ;;
  rpm) rpm --root "$R" --dbpath /var/lib/rpm -q --qf '%{VERSION}' zarnolaunch 2>/dev/null | grep -v 'not installed' ;;
  arch) pacman_in -Q zarnolaunch 2>/dev/null | sed 's/^zarnolaunch \(.*\)-1$/\1/' ;;
  esac
}
# What the desktop's caches say of the types and the icon.
caches() {
  [ -f "$R/usr/share/mime/application/zarnolaunch.xml" ] && echo mime
  grep -q '^x-scheme-handler/zarnolaunch=zarnolaunch.desktop;' "$R/usr/share/applications/mimeinfo.cache" && echo desktop
  grep -aq zarnolaunch "$R/usr/share/icons/hicolor/icon-theme.cache" && echo icons
}
check() {  # after what, the version installed or none
  local seen want="$2 mime desktop icons"
  seen="$(installed) $(caches | xargs)"
  [ -n "$2" ] || want=" "
  [ "$seen" == "$want" ] || echo "FAIL: after $1: expected [$want], got [$seen]"
}
[ "$format" != rpm ] || { rpm --root "$R" --dbpath /var/lib/rpm --initdb && manage install "$tmp"/triggers/noarch/*.rpm; }
manage install "$lower"
check "installing version $lower_version" "$lower_version"
manage install "$new"
check "upgrading to $version" "$version"
manage remove
check "removing it" ""
# Left: the managers' own state, and the caches, without a word of ours.
left=$(cd "$up" && find . -type f | sed 's|^\./||' |
  grep -v -E '^(var/lib/(dpkg|rpm|pacman)|var/log|var/cache|root/\.rpmdb)/|^etc/ld\.so\.cache$' |
  awk '/zarnolaunch/ || !(/^usr\/share\/mime\// && !/^usr\/share\/mime\/packages\// ||
       /^usr\/share\/applications\/mimeinfo\.cache$/ || /^usr\/share\/icons\/hicolor\/icon-theme\.cache$/)')
[ -z "$left" ] || echo "FAIL: left after the removal: $left"
ours=$(cd "$up" && grep -rl zarnolaunch usr 2>/dev/null)
[ -z "$ours" ] || echo "FAIL: caches that still name it: $ours"
SCRIPT
  out=$(unshare --mount bash "$tmp/lifecycle" "$format" "$tmp" "$file" "$version" "$tmp/lower-$lower.pkg" "$lower" 2>&1)
  echo "$out" | grep -q '^FAIL' && fail "the package's life: $(echo "$out" | grep '^FAIL')"
fi

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "passed"
