#!/bin/sh
# Every text players read is translated into every language: the template
# made afresh from the sources holds the same texts as resources/po's, and
# each language's file translates all of them, none fuzzy, with printf's
# conversions kept (msgfmt --check), and says that a native speaker has not
# reviewed it yet where none has.  A new English text without its
# translations fails here.   Usage: check_po.sh SOURCE WORK
set -eu
source=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
failed=0
fail() { echo "FAIL: $*"; failed=1; }
sh "$source/resources/po/update.sh" --pot "$work/fresh.pot"
ids() { msgcat --no-location --sort-output "$1" | sed -n '/^msgid/,/^msgstr/p' | grep -v '^msgstr'; }
ids "$work/fresh.pot" >"$work/fresh.ids"
ids "$source/resources/po/zarnolaunch.pot" >"$work/committed.ids"
cmp -s "$work/fresh.ids" "$work/committed.ids" ||
  fail "resources/po/zarnolaunch.pot is not what the sources say; run sh resources/po/update.sh:
$(diff "$work/committed.ids" "$work/fresh.ids" | head -20)"
for code in de es fr ja ko pl pt_BR ru tr zh_CN; do
  po=$source/resources/po/$code.po
  [ -f "$po" ] || { fail "no translation into $code"; continue; }
  stats=$(msgfmt --check --statistics -o /dev/null "$po" 2>&1) || fail "$code.po: $stats"
  case $stats in
    *fuzzy* | *untranslated*) fail "$code.po: $stats" ;;
  esac
  msgcmp "$po" "$work/fresh.pot" 2>"$work/$code.cmp" || fail "$code.po lacks texts: $(head -5 "$work/$code.cmp")"
  grep -q "not yet been reviewed by a native speaker" "$po" || fail "$code.po does not say whether it was reviewed"
done
[ "$failed" -eq 0 ] && echo "check_po: every text in every language" && rm -rf "$work"
exit "$failed"
