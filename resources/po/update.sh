#!/bin/sh
# Makes zarnolaunch.pot anew from every text that players read: those marked
# N_("...") in the launcher's sources and the texts for a count that
# platCountText("...", "...", n) names (with msgid_plural), the desktop
# entry's names, the MIME package's comment, the setup's English
# LangStrings and the join page's texts (marked data-i18n); then brings
# each language's .po file up to date with it (new texts arrive
# untranslated, changed ones marked fuzzy, and the tests refuse both).
# Needs gettext.
#
#   sh resources/po/update.sh
#   sh resources/po/update.sh --pot FILE    only writes the template, to FILE
set -eu
pot=""
[ "${1:-}" = --pot ] && pot=$(realpath -m "$2")
cd "$(dirname "$0")/../.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
find launcher report registry platform -name '*.cpp' | LC_ALL=C sort >"$tmp/sources"
xgettext --language=C++ --keyword=N_ --keyword=platCountText:1,2 --from-code=UTF-8 --add-comments=Translators \
  --add-location=file --sort-by-file --files-from="$tmp/sources" --output="$tmp/code.pot"
python3 cmake/translations.py extract "$tmp/files.pot" resources/zarnolaunch.desktop.in \
  resources/zarnolaunch-mime.xml resources/zarnolaunch-setup.nsi web/join.html
msgcat --use-first --add-location=file --output-file="$tmp/all.pot" "$tmp/code.pot" "$tmp/files.pot"
# The header, as xgettext writes it, without the date of the run.
{
  printf '# The texts of ZarnoLaunch that players read, in English.\n'
  printf '# Made by resources/po/update.sh; translations go in <language>.po.\n'
  printf '#, fuzzy\nmsgid ""\nmsgstr ""\n"Project-Id-Version: ZarnoLaunch\\n"\n'
  printf '"Report-Msgid-Bugs-To: zarnolaunch@zarnok.net\\n"\n"MIME-Version: 1.0\\n"\n'
  printf '"Content-Type: text/plain; charset=UTF-8\\n"\n"Content-Transfer-Encoding: 8bit\\n"\n\n'
  msgcat --add-location=file "$tmp/all.pot" | sed '1,/^$/d'
} >"${pot:-resources/po/zarnolaunch.pot}"
[ -z "$pot" ] || exit 0
for po in resources/po/*.po; do
  [ -e "$po" ] || continue
  msgmerge --quiet --update --backup=none --add-location=file "$po" resources/po/zarnolaunch.pot
done
