#!/usr/bin/env bash
# The Debian package, never installed into the system (a system-wide entry
# would outlive the test and answer for the type in every later one).
#
#   deb_test.sh package DEB SOURCE VERSION TAGS   files, control fields, lintian
#   deb_test.sh desktop DEB SOURCE BUILD          unpacked into a private root:
#                                                 the desktop's tools use it
set -uo pipefail
mode=$1 deb=$2 source=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {  # what, expected, actual
  [ "$2" == "$3" ] || fail "$1: expected [$2], got [$3]"
}

# The templates with their translated names, as the build made them.
generated=${ZARNO_GENERATED:-$source/resources}
root=$tmp/root
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x"; exit 1; }
share=$root/usr/share

# The package's desktop entry: the template, naming the launcher on the PATH.
packaged_entry() {
  sed -e 's/@TRY_EXEC@/zarnolaunch/' -e 's/@EXEC@/zarnolaunch/' "$generated/zarnolaunch.desktop.in"
}

if [ "$mode" == package ]; then
  version=$4 tags=$5
  icons=$(cd "$source/resources" && find hicolor -type f | sort)
  expect "files" "./usr/bin/zarnolaunch
./usr/share/applications/zarnolaunch.desktop
./usr/share/doc/zarnolaunch/README.md.gz
./usr/share/doc/zarnolaunch/changelog.gz
./usr/share/doc/zarnolaunch/copyright
$(echo "$icons" | sed 's|^|./usr/share/icons/|')
./usr/share/lintian/overrides/zarnolaunch
./usr/share/mime/packages/zarnolaunch.xml" \
    "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)"
  # Debian's policy (10.9): root owns everything; folders and the program
  # are 0755, every other file 0644.
  expect "modes and owners" "" "$(dpkg-deb -c "$deb" | awk '
    { want = $1 ~ /^d/ ? "drwxr-xr-x" : $6 == "./usr/bin/zarnolaunch" ? "-rwxr-xr-x" : "-rw-r--r--" }
    $1 != want || $2 != "root/root" { print $6, $1, $2 }')"
  field() { dpkg-deb -f "$deb" "$1"; }
  expect "Package" zarnolaunch "$(field Package)"
  expect "Version" "$version" "$(field Version)"
  expect "Architecture" "$(dpkg --print-architecture)" "$(field Architecture)"
  expect "file name" "zarnolaunch_${version}_$(dpkg --print-architecture).deb" "$(basename "$deb")"
  expect "Depends" "" "$(field Depends)"
  expect "Recommends" xdg-utils "$(field Recommends)"
  expect "Suggests" "wine, zenity | kdialog | x11-utils" "$(field Suggests)"
  # No maintainer scripts: Debian's triggers do the desktop's part.
  expect "control files" "./control ./md5sums" \
    "$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -v '^\./$' | sort | xargs)"
  # The files are the ones "-install" writes: the same sources.
  expect "desktop entry" "$(packaged_entry)" "$(cat "$share/applications/zarnolaunch.desktop")"
  cmp -s "$generated/zarnolaunch-mime.xml" "$share/mime/packages/zarnolaunch.xml" ||
    fail "the MIME package is not the build's zarnolaunch-mime.xml"
  for icon in $icons; do
    cmp -s "$source/resources/$icon" "$share/icons/$icon" || fail "the icon is not resources/$icon"
  done
  # Compressed by gzip -n: no name or time in the header, the same bytes
  # from the same text.
  gzip -9nc "$source/README.md" | cmp -s - "$share/doc/zarnolaunch/README.md.gz" ||
    fail "README.md.gz is not README.md compressed by gzip -9n"
  out=$(desktop-file-validate "$share/applications/zarnolaunch.desktop" 2>&1) ||
    fail "desktop-file-validate: $out"
  expect "desktop-file-validate" "" "$out"
  case $(file -b "$root/usr/bin/zarnolaunch") in
    *"statically linked"*", stripped"*) ;;
    *) fail "the launcher is not static and stripped: $(file -b "$root/usr/bin/zarnolaunch")" ;;
  esac
  # No error, and no warning but those listed in cmake/Package.cmake.
  out=$(timeout 600 lintian --fail-on error,warning --suppress-tags "$tags" "$deb" 2>&1) ||
    fail "lintian: $out"
  echo "lintian, with $tags suppressed: ${out:-nothing}"
fi

if [ "$mode" == desktop ]; then
  build=$4
  # What Debian's triggers would run when the files land in the system.
  update-mime-database "$share/mime" >/dev/null || fail "update-mime-database"
  update-desktop-database "$share/applications" || fail "update-desktop-database"
  find "$root" -type f -exec sha256sum {} + | sort >"$tmp/package.sums"

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
  # Both types go to the package's entry; a link file and a link start the
  # game on their servers, whichever opener hands them over.  With "seen",
  # the launcher that ran must have left that file.
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
  opens

  # A user's own "-install" writes the same files, but for its own copy of
  # the launcher, and takes precedence for that user.
  copy=$tmp/mine/zarnolaunch
  mkdir -p "$tmp/mine" && cp "$build/zarnolaunch" "$copy"
  run "$copy" -quiet -install
  cmp -s "$share/mime/packages/zarnolaunch.xml" "$user_data/mime/packages/zarnolaunch.xml" ||
    fail "-install wrote another MIME package"
  expect "-install's desktop entry" "$(packaged_entry | sed "s|^TryExec=zarnolaunch$|TryExec=$copy|; s|^Exec=zarnolaunch |Exec=$copy |")" \
    "$(cat "$user_data/applications/zarnolaunch.desktop")"
  # From here on the user's copy leaves a mark whenever it runs.
  marked() {
    mv "$copy" "$copy.real"
    printf '#!/bin/sh\ntouch "%s"\nexec "%s" "$@"\n' "$tmp/seen" "$copy.real" >"$copy"
    chmod +x "$copy"
  }
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
