#!/bin/sh
# Checks the release form of ZarnoLaunch.exe: a 32-bit GUI program of at most
# 128 KiB that imports KERNEL32, ADVAPI32 and msvcrt only, carrying its icon
# (group 101, in every size), manifest (asInvoker, UTF-8) and version
# information.
# Usage: check-exe.sh EXE
set -eu
exe=$1
fail() { echo "check-exe: $*" >&2; exit 1; }
size=$(stat -c %s "$exe")
[ "$size" -le 131072 ] || fail "$exe is $size bytes, more than 128 KiB"
headers=$(i686-w64-mingw32-objdump -p "$exe")
echo "$headers" | grep -q "Subsystem.*Windows GUI" || fail "not a GUI-subsystem program"
echo "$headers" | grep -q "^Magic.*010b" || fail "not a PE32 (32-bit) image"
dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
# USER32 and SHELL32 are loaded when a message box or a registration needs
# them, never at start-up: each DLL loaded there slows every launch.
[ "$dlls" = "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL " ] || fail "imports $dlls"
resources=$(mktemp)
trap 'rm -f "$resources"' EXIT
i686-w64-mingw32-windres --input "$exe" --output "$resources" --output-format rc
grep -q "^101 14 " "$resources" || fail "no icon group 101"
# The group's images, as windres prints them: width and height in octal
# (256 is written 0), then planes and bits.  True colour in every size.
images=$(sed -n '/^101 14 /,/^END/s/^ *"\\\([0-7]*\)\\[0-7]*\\000\\000", 1, 32,.*/\1/p' "$resources" | xargs)
[ "$images" = "020 030 040 060 000" ] ||
  fail "the icon is not 16, 24, 32, 48 and 256 pixels in 32 bits (octal sizes: $images)"
grep -q "RT_MANIFEST" "$resources" || fail "no manifest"
grep -q "asInvoker" "$resources" || fail "the manifest does not ask for asInvoker"
grep -q "activeCodePage.*UTF-8" "$resources" || fail "the manifest does not ask for UTF-8"
grep -q "VERSIONINFO" "$resources" || fail "no version information"
if i686-w64-mingw32-objdump -h "$exe" | grep -q "\.debug"; then fail "not stripped"; fi
echo "check-exe: $exe: $size bytes, imports $dlls"
