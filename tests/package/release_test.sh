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
# entries in Settings > Apps must be the ones the setup writes; each field
# holds what winget's schema for its ManifestVersion, or Scoop's schema.json,
# allows (SCHEMA: a path, "*" for each item; whether it is required; a
# pattern, the values, a string's lengths or an object's names allowed).
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
URL, SHA = r"^[Hh][Tt][Tt][Pp][Ss]?://.+$", r"^[A-Fa-f0-9]{64}$"
STRINGS = lambda v: isinstance(v, str) or (isinstance(v, list) and v and all(isinstance(s, str) for s in v))
names = lambda text: set(text.split())
SCHEMA = [
    ("installer", "Installers.*.Architecture", True, ("x86", "x64", "arm", "arm64", "neutral")),
    ("installer", "Installers.*.InstallerUrl", True, URL),
    ("installer", "Installers.*.InstallerSha256", True, SHA),
    ("installer", "Installers.*.Scope", False, ("user", "machine")),
    ("installer", "Installers.*.ElevationRequirement", False,
     ("elevationRequired", "elevationProhibited", "elevatesSelf")),
    ("installer", "Installers.*.ProductCode", False, range(1, 256)),
    ("installer", "Installers.*.InstallationMetadata", False, names("DefaultInstallLocation Files")),
    ("installer", "Installers.*.InstallationMetadata.DefaultInstallLocation", False, range(1, 2049)),
    ("defaultLocale", "License", True, range(3, 513)), ("defaultLocale", "LicenseUrl", False, URL),
    ("defaultLocale", "PublisherUrl", False, URL),
    ("scoop", "", True, names("$schema _comment ## architecture autoupdate bin persist checkver cookie depends "
                              "description env_add_path env_set extract_dir extract_to hash homepage innosetup "
                              "installer license msi notes post_install post_uninstall pre_install pre_uninstall "
                              "psmodule shortcuts suggest uninstaller url version")),
    ("scoop", "version", True, r"^[\w\.\-+_]+$"), ("scoop", "homepage", True, URL),
    ("scoop", "license", True, names("identifier url")), ("scoop", "license.identifier", True, r"."),
    ("scoop", "license.url", False, URL), ("scoop", "architecture", False, names("32bit 64bit arm64")),
    ("scoop", "architecture.*", False, names("bin checkver env_add_path env_set extract_dir hash installer msi "
                                             "post_install post_uninstall pre_install pre_uninstall shortcuts "
                                             "uninstaller url")),
    ("scoop", "architecture.*.url", True, r"^https?://[^$]+$"), ("scoop", "architecture.*.hash", True, SHA),
    ("scoop", "uninstaller", False, names("args file script")), ("scoop", "checkver.regex", False, r"\(.*\)"),
    ("scoop", "checkver", False, names("github re regex url jp jsonpath xpath reverse replace useragent script "
                                       "sourceforge")),
    ("scoop", "autoupdate", False, names("architecture bin env_add_path env_set extract_dir hash installer license "
                                         "notes persist psmodule shortcuts url")),
    ("scoop", "checkver.url", False, URL), ("scoop", "autoupdate.url", False, URL),
] + [("scoop", key, False, STRINGS) for key in ("##", "post_install", "pre_uninstall", "uninstaller.script", "notes")]
def at(doc, path):
    found = [doc]
    for part in filter(None, path.split(".")):
        found = [x for v in found for x in ((v.values() if isinstance(v, dict) else v) if part == "*"
                                            else [v.get(part) if isinstance(v, dict) else None])]
    return found
def allowed(v, rule):
    return (isinstance(v, dict) and set(v) <= rule if isinstance(rule, set) else
            isinstance(v, str) and len(v) in rule if isinstance(rule, range) else
            isinstance(v, str) and re.search(rule, v) is not None if isinstance(rule, str) else
            v in rule if isinstance(rule, tuple) else rule(v))
zip_name, = [n for n in os.listdir(release) if n.endswith("-Windows.zip")]
setup_name, = [n for n in os.listdir(release) if n.endswith("-setup.exe")]
version = setup_name.split("-")[1]
with open(os.path.join(release, "zarnolaunch.json"), encoding="utf-8") as f:
    scoop = json.load(f)
manifests = {"scoop": scoop}
expect("scoop version", version, scoop["version"])
for arch, entry in scoop["architecture"].items():
    expect("scoop %s url" % arch, zip_name, entry["url"].rsplit("/", 1)[1])
    expect("scoop %s hash" % arch, sha256(zip_name), entry["hash"])
zip_url = scoop["architecture"]["32bit"]["url"]
expect("scoop autoupdate", zip_url, scoop["autoupdate"]["url"].replace("$version", version))
expect("scoop checkver", zip_url.rsplit("/", 2)[0] + "/", scoop["checkver"]["url"])
expect("scoop bin", "ZarnoLaunch.exe", scoop["bin"])
expect("scoop license", "MIT", scoop["license"]["identifier"])
# Registered from "current" and read back from the log; taken back only by
# "scoop uninstall", never by an update, and through "current".
expect("scoop post_install", [True] * 3, [any(want in line for line in scoop["post_install"]) for want in (
    "-FilePath \"$dir\\ZarnoLaunch.exe\" -ArgumentList '-quiet', '-logfile'", "ZarnoLaunch installed successfully!",
    "'-uninstall'")])
script = scoop.get("uninstaller", {}).get("script") or [""]
expect("scoop uninstaller", ["if ($cmd -eq 'uninstall') {", True],
       [script[0], any("\\current\"" in line for line in script)])
expect("scoop pre_uninstall", None, scoop.get("pre_uninstall"))
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
manifests.update(winget)
for kind, path, required, rule in SCHEMA:
    for value in at(manifests[kind], path):
        if (value is not None or required) and not allowed(value, rule):
            failed.append("%s: %s is %r, which its schema does not allow" % (kind, path or "the top", sorted(
                set(value) - rule) if isinstance(rule, set) and isinstance(value, dict) else value))
installer = winget["installer"]
expect("installer", ["nullsoft", ["zarnolaunch"], ["zarnok"]],
       [installer["InstallerType"], installer["Protocols"], installer["FileExtensions"]])
with open(nsi, encoding="utf-8") as f:
    script = f.read()
written = dict(re.findall(r'WriteRegStr SHCTX "\$\{UNINSTALL_KEY\}" "(\w+)" "([^"$]*)"', script))
key = re.search(r'!define UNINSTALL_KEY "[^"]*\\([^"\\]+)"', script).group(1)
# Where the setup installs for each scope, named as winget expands it (the
# 32-bit setup's Program Files).
folders = {"user": re.search(r'^InstallDir "\$LOCALAPPDATA([^"]+)"', script, re.M).group(1),
           "machine": re.search(r'StrCpy \$INSTDIR "\$PROGRAMFILES([^"]+)"', script).group(1)}
folders = {"user": "%LocalAppData%" + folders["user"], "machine": "%ProgramFiles(x86)%" + folders["machine"]}
expect("installer scopes", ["user", "machine"], [entry.get("Scope") for entry in installer["Installers"]])
for entry in installer["Installers"]:
    scope = str(entry.get("Scope"))
    expect(scope + " installer", [setup_name, zip_url.rsplit("/", 1)[0], sha256(setup_name).upper(), key,
                                  folders.get(scope), "elevationRequired" if scope == "machine" else None],
           [entry["InstallerUrl"].rsplit("/", 1)[1], entry["InstallerUrl"].rsplit("/", 1)[0],
            entry.get("InstallerSha256"), entry.get("ProductCode"),
            entry.get("InstallationMetadata", {}).get("DefaultInstallLocation"), entry.get("ElevationRequirement")])
expect("AppsAndFeaturesEntries", [{"DisplayName": written["DisplayName"], "Publisher": written["Publisher"],
                                   "DisplayVersion": version, "ProductCode": key}],
       installer["AppsAndFeaturesEntries"])
locale = winget["defaultLocale"]
expect("defaultLocale", [written["Publisher"], "MIT", scoop["license"]["url"], scoop["homepage"]],
       [locale["Publisher"], locale["License"], locale.get("LicenseUrl"), locale.get("PublisherUrl")])
for field in ("PackageName", "ShortDescription"):
    expect("defaultLocale's " + field, True, bool(locale.get(field)))
print("\n".join(failed) or "manifests: every name and sum matches, and each field is as its schema allows")
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
