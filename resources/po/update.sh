#!/bin/sh
# Makes zarnolaunch.pot anew from every text marked N_("...") in the
# launcher's sources, and brings each language's .po file up to date with it
# (new texts arrive untranslated, changed ones marked fuzzy).  Needs gettext.
#
#   sh resources/po/update.sh
set -eu
cd "$(dirname "$0")/../.."
find launcher report registry platform -name '*.cpp' | LC_ALL=C sort >resources/po/sources.tmp
xgettext --language=C++ --keyword=N_ --from-code=UTF-8 --add-comments=Translators \
  --add-location=file --sort-by-file --package-name=ZarnoLaunch \
  --msgid-bugs-address=zarnolaunch@zarnok.net --files-from=resources/po/sources.tmp \
  --output=resources/po/zarnolaunch.pot
rm -f resources/po/sources.tmp
for po in resources/po/*.po; do
  [ -e "$po" ] || continue
  msgmerge --quiet --update --backup=none --no-wrap "$po" resources/po/zarnolaunch.pot
done
