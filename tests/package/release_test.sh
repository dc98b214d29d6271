#!/usr/bin/env bash
# Release files, each check in a work folder of its own, removed when it
# passed:
#
#   release_test.sh icon SOURCE WORK           the committed icon files and
#                                              the setup's picture are what
#                                              make-icon.py draws
#   release_test.sh reproducible SOURCE WORK PRESET
#                                              two releases of the commit,
#                                              from two clones (the second's
#                                              path with blanks, under umask
#                                              077 and another time zone),
#                                              are the same bytes, and
#                                              SHA256SUMS names every file;
#                                              the win32 one's manifests and
#                                              zip are checked
#   release_test.sh manifests SOURCE RELEASE   Scoop's and winget's manifests
#                                              of a release, read back and
#                                              compared with its files and
#                                              the setup's uninstall entry
#   release_test.sh signed SOURCE WORK WINE_RUN
#                                              a release signed with a
#                                              throwaway certificate verifies:
#                                              the launcher, the setup and the
#                                              uninstaller the setup writes
#                                              under Wine, and the signed
#                                              launcher still runs there
set -uo pipefail
mode=$1 source=$2 work=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The manifests name the release's files and hold their sums; winget's
# entry in Settings > Apps must be the one the setup writes.
check_manifests() {  # release folder
  python3 - "$1" "$source/resources/zarnolaunch-setup.nsi" <<'PYTHON' || fail "the manifests"
import hashlib, json, os, re, sys
import yaml
release, nsi = sys.argv[1:]
failed = []
def expect(what, want, got):
    if want != got:
        failed.append("%s: expected %r, got %r" % (what, want, got))
def sha256(name):
    with open(os.path.join(release, name), "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()
zip_name, = [n for n in os.listdir(release) if n.endswith("-Windows.zip")]
setup_name, = [n for n in os.listdir(release) if n.endswith("-setup.exe")]
version = setup_name.split("-")[1]
with open(os.path.join(release, "zarnolaunch.json"), encoding="utf-8") as f:
    scoop = json.load(f)
expect("scoop version", version, scoop["version"])
expect("scoop url", zip_name, scoop["url"].rsplit("/", 1)[1])
expect("scoop hash", sha256(zip_name), scoop["hash"])
expect("scoop bin", "ZarnoLaunch.exe", scoop["bin"])
for hook, option in (("post_install", "-install"), ("pre_uninstall", "-uninstall")):
    expect("scoop " + hook, True, "\\ZarnoLaunch.exe\" -ArgumentList '-quiet', '%s'" % option in scoop[hook])
winget = {}
for name in sorted(os.listdir(os.path.join(release, "winget"))):
    with open(os.path.join(release, "winget", name), encoding="utf-8") as f:
        manifest = yaml.safe_load(f)
    winget[manifest["ManifestType"]] = manifest
    expect(name + ": its name", manifest["PackageIdentifier"] + {"version": "", "installer": ".installer",
           "defaultLocale": ".locale.en-US"}[manifest["ManifestType"]] + ".yaml", name)
    expect(name + ": version", version, str(manifest["PackageVersion"]))
    major, minor = map(int, manifest["ManifestVersion"].split(".")[:2])
    expect(name + ": ManifestVersion 1.6 or later", True, (major, minor) >= (1, 6))
expect("winget manifests", ["defaultLocale", "installer", "version"], sorted(winget))
installer = winget["installer"]
expect("installer", ["nullsoft", "user", ["zarnolaunch"], ["zarnok"]],
       [installer["InstallerType"], installer["Scope"], installer["Protocols"], installer["FileExtensions"]])
(entry,) = installer["Installers"]
expect("installer url", setup_name, entry["InstallerUrl"].rsplit("/", 1)[1])
expect("installer url's base", scoop["url"].rsplit("/", 1)[0], entry["InstallerUrl"].rsplit("/", 1)[0])
expect("InstallerSha256", sha256(setup_name).upper(), entry["InstallerSha256"])
with open(nsi, encoding="utf-8") as f:
    script = f.read()
written = dict(re.findall(r'WriteRegStr SHCTX "\$\{UNINSTALL_KEY\}" "(\w+)" "([^"$]*)"', script))
key = re.search(r'!define UNINSTALL_KEY "[^"]*\\([^"\\]+)"', script).group(1)
expect("AppsAndFeaturesEntries", [{"DisplayName": written["DisplayName"], "Publisher": written["Publisher"],
                                   "DisplayVersion": version, "ProductCode": key}],
       installer["AppsAndFeaturesEntries"])
expect("defaultLocale", written["Publisher"], winget["defaultLocale"]["Publisher"])
for field in ("PackageName", "License", "ShortDescription"):
    expect("defaultLocale's " + field, True, bool(winget["defaultLocale"].get(field)))
print("\n".join(failed) or "manifests: every name and sum matches")
sys.exit(1 if failed else 0)
PYTHON
}

if [ "$mode" == manifests ]; then
  check_manifests "$work"
  [ "$failures" -eq 0 ] || exit 1
  echo "passed"
  exit 0
fi
rm -rf "$work"
mkdir -p "$work"

if [ "$mode" == icon ]; then
  python3 "$source/resources/make-icon.py" "$work" || fail "make-icon.py"
  cmp "$work/zarnolaunch.ico" "$source/resources/zarnolaunch.ico" || fail "zarnolaunch.ico is not drawn anew"
  diff -r "$work/hicolor" "$source/resources/hicolor" || fail "resources/hicolor is not drawn anew"
  cmp "$work/zarnolaunch-setup.bmp" "$source/resources/zarnolaunch-setup.bmp" ||
    fail "zarnolaunch-setup.bmp is not drawn anew"
fi

if [ "$mode" == reproducible ]; then
  preset=$4
  # The commit twice, each from a clone of its own: the second in a folder
  # whose path has blanks and parentheses, under another umask and a time
  # zone fourteen hours from UTC (a POSIX rule, which needs no tzdata).
  for build in one two; do
    copy=$work/$build-source/ZarnoLaunch
    [ "$build" == one ] || copy="$work/second build (copy)/ZarnoLaunch"
    git clone -q "$source" "$copy" || fail "git clone $build"
    (if [ "$build" == two ]; then umask 077; export TZ=ZLT-14; fi
     bash "$copy/cmake/release.sh" "$work/$build" "$preset" >/dev/null) || fail "release.sh $build"
  done
  # Every file that the first release lists has the same sum in the second.
  (cd "$work/two" && sha256sum --strict -c ../one/SHA256SUMS) || fail "the releases differ"
  cmp "$work/one/SHA256SUMS" "$work/two/SHA256SUMS" || fail "their SHA256SUMS differ"
  # Every file of the release, beside the build folders and their logs.
  (cd "$work/one" && find . -type f ! -path "./$preset/*" ! -name "$preset.log" ! -name SHA256SUMS |
     sed 's|^\./||' | sort | diff - <(awk '{print $2}' SHA256SUMS | sort)) || fail "SHA256SUMS does not name every file"
  if [ "$preset" == win32 ]; then
    cmp "$work/one/win32/ZarnoLaunch.exe" "$work/two/win32/ZarnoLaunch.exe" || fail "ZarnoLaunch.exe differs"
    # The zip carries the licence and the notices at its top.
    for licence in LICENSE THIRD-PARTY-NOTICES; do
      bsdtar -xOf "$work/one"/ZarnoLaunch-*-Windows.zip "$licence.txt" | cmp -s - "$source/$licence" ||
        fail "the zip has no $licence.txt that is $licence"
    done
    check_manifests "$work/one"
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
