#!/usr/bin/env bash
# What the released launcher is made of, one table for both: each row a
# property read back from the binary, its link map or the objects of the
# launcher's own code (libzarno.a), failing when a protection is lost or
# the build links a library that THIRD-PARTY-NOTICES does not name.
#
#   binary_test.sh LAUNCHER MAP LIBZARNO NOTICES
#
# LAUNCHER is zarnolaunch (a static PIE, ELF) or ZarnoLaunch.exe (PE32).
set -uo pipefail
launcher=$1 map=$2 objects=$3 notices=$4
failures=0
row() {  # what, command...
  local what=$1
  shift
  if out=$("$@" 2>&1); then echo "ok   $what"; else echo "FAIL $what${out:+: $out}"; failures=$((failures + 1)); fi
}
has() {  # text, patterns: each must match a line
  local text=$1 pattern
  shift
  for pattern; do grep -qE -- "$pattern" <<<"$text" || { echo "no \"$pattern\""; return 1; }; done
}
hasnt() { ! grep -E -- "$2" <<<"$1"; }

case $(head -c 4 "$launcher" | od -An -c | tr -d ' ') in
*ELF*)
  name=zarnolaunch
  headers=$(readelf -hlW "$launcher") dynamic=$(readelf -dW "$launcher")
  undefined=$(nm -u "$objects" 2>/dev/null)
  row "position independent: type DYN, flagged PIE" has "$headers$dynamic" 'Type: +DYN' 'Flags: .*PIE'
  row "static: no interpreter, no shared library" hasnt "$headers$dynamic" 'INTERP|NEEDED'
  row "full RELRO: a GNU_RELRO segment, bound now" has "$headers$dynamic" 'GNU_RELRO' 'BIND_NOW'
  row "non-executable stack" has "$headers" 'GNU_STACK .* RW  '
  row "stack protector in our objects" has "$undefined" ' U __stack_chk_fail$'
  row "_FORTIFY_SOURCE in our objects" has "$undefined" ' U __(memcpy|snprintf|vsnprintf|strcpy|fprintf)_chk$'
  row "CET marks (IBT, SHSTK) on our objects" \
    bash -c '[ "$(readelf -nW "$0" | grep -c "x86 feature: IBT, SHSTK")" -ge "$(ar t "$0" | wc -l)" ]' "$objects"
  ;;
MZ*)
  name=ZarnoLaunch.exe
  headers=$(i686-w64-mingw32-objdump -p "$launcher") sections=$(i686-w64-mingw32-objdump -h "$launcher")
  undefined=$(i686-w64-mingw32-nm -u "$objects" 2>/dev/null)
  resources=$(i686-w64-mingw32-windres --input "$launcher" --output-format rc 2>&1)
  dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'a-z' 'A-Z' | sort | xargs)
  row "a 32-bit GUI program" has "$headers" '^Magic.*010b' 'Subsystem.*Windows GUI'
  row "at most 128 KiB" test "$(stat -c %s "$launcher")" -le 131072
  # USER32 and SHELL32 are loaded when a message box or a registration
  # needs them, never at start-up: each DLL loaded there slows every launch.
  row "imports ADVAPI32, KERNEL32 and MSVCRT only" test "$dlls" == "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL"
  row "stripped" hasnt "$sections" '\.debug'
  row "ASLR: DYNAMIC_BASE, with relocations" has "$headers$sections" 'DYNAMIC_BASE' '\.reloc'
  row "DEP: NX_COMPAT" has "$headers" 'NX_COMPAT'
  row "stack protector in our objects" has "$undefined" ' U ___stack_chk_fail$'
  row "the canary is ours, not libssp's" hasnt "$(cat "$map")" '^/[^ ]*/libssp[^ /]*\.a\('
  # The icon group's images, as windres prints them: width and height in
  # octal (256 is written 0), then planes and bits.  True colour in every size.
  row "icon group 101 in 16, 24, 32, 48 and 256 pixels, 32 bits" test "$(sed -n \
    '/^101 14 /,/^END/s/^ *"\\\([0-7]*\)\\[0-7]*\\000\\000", 1, 32,.*/\1/p' <<<"$resources" | xargs)" \
    == "020 030 040 060 000"
  row "a manifest asking for asInvoker and UTF-8" has "$resources" 'asInvoker' 'activeCodePage.*UTF-8'
  row "version information" has "$resources" 'VERSIONINFO'
  ;;
*) echo "FAIL $launcher is neither ELF nor PE"; exit 1 ;;
esac

# What the linker took, by the file it came from: archives' members and the
# start-up objects outside the build, against each component's Libraries;
# and each component's Version against its Debian packages' own.
row "every library linked is named in THIRD-PARTY-NOTICES, at the version built with" \
  python3 - "$name" "$map" "$notices" "$(dirname "$0")/../../cmake" <<'PYTHON'
import os, re, subprocess, sys
name, map_file, notices, scripts = sys.argv[1:]
sys.path.insert(0, scripts)
from package_texts import held_by, read_notices
taken = set()
with open(map_file, errors="replace") as f:
    for line in f:
        m = re.match(r"(/\S+?\.a)\(", line) or re.match(r"LOAD (/\S+\.o)$", line.strip())
        if m:
            taken.add(os.path.basename(m.group(1)))
components = held_by(read_notices(notices)[0], name)
named = {lib: c["Component"] for c in components for lib in c["Libraries"].split() if "." in lib}
wrong = ["%s is linked, but no component names it" % lib for lib in sorted(taken - set(named))]
for c in components:
    if not c["Libraries"].startswith("("):
        if not set(c["Libraries"].split()) & taken:
            wrong.append("%s: none of its libraries is linked" % c["Component"])
    for package in c["Debian"].split():
        version = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", package],
                                 capture_output=True, text=True).stdout
        upstream = re.sub(r"^\d+:", "", version).rsplit("-", 1)[0]
        if upstream != c["Version"]:
            wrong.append("%s %s, but %s is %s" % (c["Component"], c["Version"], package, version))
print("\n".join(wrong))
sys.exit(1 if wrong else 0)
PYTHON

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "passed"
