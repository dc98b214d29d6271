#!/bin/sh
# Signs a Windows program in place: an Authenticode signature (SHA-256) made
# by osslsigncode with the certificate and key of a PKCS#12 file, whose
# password is read from a file (never from the command line, which other
# users of the machine can read).  The build runs it on ZarnoLaunch.exe, and
# makensis on the setup and its uninstaller (cmake/Release.cmake).
#
#   sign.sh OSSLSIGNCODE PKCS12 PASSWORD_FILE [TIMESTAMP_URL] FILE
#
# With TIMESTAMP_URL the signature is time-stamped by that RFC 3161 server
# and stays valid after the certificate expires.
set -eu
osslsigncode=$1 pkcs12=$2 password=$3
shift 3
timestamp=
if [ $# -eq 2 ]; then
  timestamp=$1
  shift
fi
file=$1
set -- -pkcs12 "$pkcs12" -readpass "$password" -h sha256 -n ZarnoLaunch
[ -z "$timestamp" ] || set -- "$@" -ts "$timestamp"
# Written beside the file and renamed over it: a failed signing leaves the
# file as it was, and the build stops.
rm -f "$file.signed"
"$osslsigncode" sign "$@" -in "$file" -out "$file.signed"
mv "$file.signed" "$file"
