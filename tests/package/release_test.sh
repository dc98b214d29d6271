#!/usr/bin/env bash
# Release files, each check in a work folder of its own, removed when it
# passed:
#
#   release_test.sh icon SOURCE WORK           the committed icon files and
#                                              the setup's picture are what
#                                              make-icon.py draws
#   release_test.sh reproducible SOURCE WORK PRESET
#                                              two releases, made one after
#                                              the other in two folders, are
#                                              the same bytes
#   release_test.sh signed SOURCE WORK WINE_RUN
#                                              a release signed with a
#                                              throwaway certificate verifies:
#                                              the launcher, the setup and the
#                                              uninstaller the setup writes
#                                              under Wine, and the signed
#                                              launcher still runs there
set -uo pipefail
mode=$1 source=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if [ "$mode" == icon ]; then
  python3 "$source/resources/make-icon.py" "$work" || fail "make-icon.py"
  cmp "$work/zarnolaunch.ico" "$source/resources/zarnolaunch.ico" || fail "zarnolaunch.ico is not drawn anew"
  diff -r "$work/hicolor" "$source/resources/hicolor" || fail "resources/hicolor is not drawn anew"
  cmp "$work/zarnolaunch-setup.bmp" "$source/resources/zarnolaunch-setup.bmp" ||
    fail "zarnolaunch-setup.bmp is not drawn anew"
fi

if [ "$mode" == reproducible ]; then
  preset=$4
  for build in one two; do
    bash "$source/cmake/release.sh" "$work/$build" "$preset" >/dev/null || fail "release.sh $build"
  done
  # Every file that the first release lists has the same sum in the second.
  (cd "$work/two" && sha256sum --strict -c ../one/SHA256SUMS) || fail "the releases differ"
  cmp "$work/one/SHA256SUMS" "$work/two/SHA256SUMS" || fail "their SHA256SUMS differ"
  if [ "$preset" == win32 ]; then
    cmp "$work/one/win32/ZarnoLaunch.exe" "$work/two/win32/ZarnoLaunch.exe" || fail "ZarnoLaunch.exe differs"
  else
    # Dated by the commit, not by the build.
    date=$(TZ=UTC LC_ALL=C date -d "@$(git -C "$source" log -1 --format=%ct)" "+%b %e %H:%M %Y")
    dated=$(TZ=UTC LC_ALL=C ar tv "$work/one"/*.deb | grep -vc "$date")
    [ "$dated" == 0 ] || fail "the .deb's members are not dated $date: $(ar tv "$work/one"/*.deb)"
  fi
fi

if [ "$mode" == signed ]; then
  wine_run=$4
  # A throwaway certificate for code signing, its key in a PKCS#12 file
  # whose password is in a file.
  cert=$work/cert
  mkdir -p "$cert"
  printf 'not a real secret\n' >"$cert/password"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=ZarnoLaunch test signer" \
    -addext extendedKeyUsage=codeSigning -keyout "$cert/key.pem" -out "$cert/cert.pem" 2>/dev/null &&
    openssl pkcs12 -export -inkey "$cert/key.pem" -in "$cert/cert.pem" -out "$cert/cert.p12" \
      -passout "file:$cert/password" || fail "openssl could not make a certificate"
  ZARNO_SIGN_PKCS12=$cert/cert.p12 ZARNO_SIGN_PASSWORD_FILE=$cert/password \
    bash "$source/cmake/release.sh" "$work/release" win32 >/dev/null || fail "the signed release"
  build=$work/release/win32
  verify() {  # file, what
    out=$(osslsigncode verify -CAfile "$cert/cert.pem" -in "$1" 2>&1) || { fail "$2 does not verify: $out"; return; }
    echo "$2: signature verified"
  }
  verify "$build/ZarnoLaunch.exe" "ZarnoLaunch.exe"
  verify "$(ls "$work/release"/ZarnoLaunch-*-setup.exe)" "the setup"
  # The check can fail: the stand-in game is not signed.
  osslsigncode verify -CAfile "$cert/cert.pem" -in "$build/zarnok-demo.exe" >/dev/null 2>&1 &&
    fail "an unsigned program verifies"

  # The setup, run silently in a prefix of this test's own with the stand-in
  # game installed, writes the uninstaller.
  prefix=$work/prefix
  in_prefix() { sh "$wine_run" "$prefix" "$@"; }
  in_prefix cmd /c exit || fail "the prefix could not be made"
  mkdir -p "$prefix/drive_c/Games"
  cp "$build/zarnok-demo.exe" "$prefix/drive_c/Games/zarnok.exe"
  printf '%s\r\n' REGEDIT4 '' '[HKEY_CLASSES_ROOT\Zarnok\shell\open\command]' \
    '@="\"C:\\Games\\zarnok.exe\" \"%1\""' >"$prefix/drive_c/game.reg"
  printf '[ZarnoLaunch]\r\nServer=signed.test.net:7777\r\n' >"$prefix/drive_c/link.zarnok"
  in_prefix regedit /s 'C:\game.reg' || fail "the game could not be registered"
  in_prefix "$(ls "$work/release"/ZarnoLaunch-*-setup.exe)" /S || fail "the setup ended with $?"
  # Where the setup put the uninstaller: its uninstall entry says, per user
  # or for all users.
  for root in HKCU HKLM; do
    uninstaller=$(in_prefix reg query "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZarnoLaunch" \
                    /v UninstallString 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *"\(.*\)"$/\1/p')
    [ -z "$uninstaller" ] || break
  done
  [ -n "$uninstaller" ] || fail "no uninstall entry names the uninstaller"
  uninstaller=$prefix/drive_c/$(echo "${uninstaller#[Cc]:\\}" | tr '\\' /)
  verify "$uninstaller" "the uninstaller that the setup wrote"
  verify "$(dirname "$uninstaller")/ZarnoLaunch.exe" "the installed ZarnoLaunch.exe"
  # The signed launcher finds the game and would start it (status 0).
  in_prefix "$(dirname "$uninstaller")/ZarnoLaunch.exe" -quiet -launch 'C:\link.zarnok' ||
    fail "the signed launcher ended with $? under Wine"
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
fi

[ "$failures" -eq 0 ] || { echo "$failures failed; kept $work"; exit 1; }
rm -rf "$work"
echo "passed"
