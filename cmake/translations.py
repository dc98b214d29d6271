#!/usr/bin/env python3
"""The translations the launcher carries, from gettext's own files.

    translations.py extract OUT.pot FILE...     the texts of the desktop entry,
                                                 the MIME package, the setup and
                                                 the join page
    translations.py table POT OUT.cpp PO... [--not DIR...]
                                                 the C++ table of the texts of
                                                 the sources (not those in DIR)
    translations.py desktop IN OUT PO...        the desktop entry, with
                                                 Name[xx], GenericName[xx]...
    translations.py mime IN OUT PO...           the MIME package, with
                                                 comment xml:lang="xx"
    translations.py nsis NSI OUT.nsh PO...      the setup's LangStrings and
                                                 Modern UI languages
    translations.py page IN OUT PO...           the join page, with its texts'
                                                 translations for its script

POT lists the English texts (msgid), in the order the tables keep; each PO
file (resources/po/<code>.po) is one language's translations.  A text that a
PO file leaves untranslated, or marks fuzzy, is left out of the table, and
the player reads it in English (the tests refuse such a file).  A text for a
count (msgid_plural) has a form for each of its language's plural forms,
which the file's Plural-Forms header chooses among.  Only the standard
library is used.
"""
import html
import json
import os
import re
import sys


def unquote(text):
    """A PO string's content, its C escapes undone."""
    out, i = [], 0
    escapes = {"n": "\n", "t": "\t", "r": "\r", '"': '"', "\\": "\\", "a": "\a", "b": "\b",
               "f": "\f", "v": "\v"}
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            i += 1
            out.append(escapes.get(text[i], "\\" + text[i]))
        else:
            out.append(c)
        i += 1
    return "".join(out)


def read_po(path, with_locations=False):
    """The file's entries, in order: (msgctxt or None, msgid, msgstr, fuzzy),
    and with_locations, the files the text comes from ("#:") as well.  A
    text for a count has its English singular as msgid, and its forms
    (msgstr[0], msgstr[1]...) joined by NUL characters as msgstr."""
    entries, entry, field = [], {}, None

    def flush():
        if "msgid" in entry:
            forms = [entry[k] for k in sorted(k for k in entry if k.startswith("msgstr["))]
            msgstr = "\0".join(forms) if forms else entry.get("msgstr", "")
            found = (entry.get("msgctxt"), entry["msgid"], msgstr, entry.get("fuzzy", False))
            entries.append(found + (entry.get("where", []),) if with_locations else found)
        entry.clear()

    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.strip()
            if line.startswith("#") or not line:
                # A comment, or a blank line, after an entry starts the next.
                if any(k.startswith("msgstr") for k in entry):
                    flush()
                if line.startswith("#,"):
                    entry["fuzzy"] = "fuzzy" in (flag.strip() for flag in line[2:].split(","))
                if line.startswith("#:"):
                    entry.setdefault("where", []).extend(
                        place.rsplit(":", 1)[0] if place.rsplit(":", 1)[-1].isdigit() else place
                        for place in line[2:].split())
                continue
            keyword, _, rest = line.partition(" ")
            if re.match(r"^(msgctxt|msgid|msgid_plural|msgstr|msgstr\[\d+\])$", keyword):
                if keyword in ("msgctxt", "msgid") and any(k.startswith("msgstr") for k in entry):
                    flush()
                # msgstr[N] sorts by its number as text: pad it.
                field = keyword if "[" not in keyword else "msgstr[%03d]" % int(keyword[7:-1])
                entry[field] = unquote(rest.strip()[1:-1])
            elif line.startswith('"') and field:
                entry[field] += unquote(line[1:-1])
    flush()
    return entries


def plural_forms(path):
    """The PO file's Plural-Forms: (how many forms, the C expression of n
    that picks one), or None when it has none.  The expression is gettext's,
    which is C already; only its own characters are let through."""
    header = next((msgstr for ctx, msgid, msgstr, _ in read_po(path) if ctx is None and msgid == ""), "")
    m = re.search(r"^Plural-Forms:\s*nplurals\s*=\s*(\d+)\s*;\s*plural\s*=\s*(.*?);?\s*$", header, re.M)
    if not m:
        return None
    if not re.fullmatch(r"[n0-9\s()?:<>=!&|%+*/-]+", m.group(2)):
        sys.exit("%s: a Plural-Forms expression that is not gettext's: %s" % (path, m.group(2)))
    return int(m.group(1)), m.group(2)


def c_string(text):
    out = []
    for byte in text.encode("utf-8"):
        c = chr(byte)
        if c == "\\" or c == '"':
            out.append("\\" + c)
        elif c == "\n":
            out.append("\\n")
        elif c == "\t":
            out.append("\\t")
        elif 32 <= byte < 127 and c != "?":
            out.append(c)
        else:
            out.append("\\%03o" % byte)
    return '"' + "".join(out) + '"'


def languages(po_files):
    """(code, {(context, English): translation}) for each PO file, by code.
    A text for a count is there only with every one of its forms."""
    result = []
    for path in sorted(po_files):
        code = os.path.splitext(os.path.basename(path))[0]
        done = {(ctx, msgid): msgstr for ctx, msgid, msgstr, fuzzy in read_po(path)
                if msgid and msgstr and not fuzzy and all(msgstr.split("\0"))}
        result.append((code, done))
    return result


def blob(name, texts, storage):
    """A table of texts as C++ that needs no relocation: the texts one after
    the other in one array (name), each ended by its NUL, and each one's
    offset there (name_at), -1 for none."""
    lines, at, offset = ["%sconst char %s[] =" % (storage, name)], [], 0
    for text in texts:
        if text is None:
            at.append(-1)
            continue
        at.append(offset)
        offset += len(text.encode("utf-8")) + 1
        lines.append("    %s \"\\0\"" % c_string(text))
    lines[-1] += ";" if len(lines) > 1 else ' "";'
    lines.append("%sconst int %s_at[] = {%s};" % (storage, name, ", ".join(map(str, at)) or "-1"))
    return lines


def table(pot, out, po_files, never=()):
    """The C++ table: the English texts of the sources at hand (a text is
    left out when every file it comes from is under a folder in never), and
    each language's translations of them."""
    def wanted(locations):
        sources = [loc for loc in locations if loc.endswith(".cpp")]
        return any(not any(loc.startswith(d) for d in never) for loc in sources)

    texts = [(ctx, msgid) for ctx, msgid, _, _, where in read_po(pot, with_locations=True)
             if msgid and ctx is None and wanted(where)]
    lines = ["// Made by cmake/translations.py from resources/po; do not edit.",
             '#include "platform/language.h"', ""]
    lines += blob("translatedEnglish", [msgid for _, msgid in texts], "")
    lines += ["const int translatedTextCount = %d;" % len(texts), ""]
    # The texts for a count: the template's have two empty forms.
    counted = {msgid for ctx, msgid, msgstr, _ in read_po(pot) if ctx is None and "\0" in msgstr}
    names = []
    paths = {os.path.splitext(os.path.basename(path))[0]: path for path in po_files}
    for code, done in languages(po_files):
        forms = plural_forms(paths[code])
        if forms is None and any(msgid in counted for _, msgid in texts):
            sys.exit("%s: no Plural-Forms header, and texts for a count to choose among" % paths[code])
        forms = forms or (1, "0")
        names.append((code, forms[0]))
        lines.append("static int plural_%s(unsigned long n) { return (int)(%s); }"
                     % (code, forms[1] if "n" in forms[1] else "(void)n, " + forms[1]))
        # A text for a count has exactly as many forms as its language.
        lines += blob("texts_" + code, [done[key] if key in done and (
            key[1] not in counted or done[key].count("\0") + 1 == forms[0]) else None
            for key in texts], "static ")
    lines.append("const Translation translations[] = {")
    lines += ['    {"%s", texts_%s, texts_%s_at, plural_%s, %d},' % (code, code, code, code, count)
              for code, count in names]
    if not names:
        lines.append("    {\"\", \"\", nullptr, nullptr, 1},")
    lines += ["};", "const int translationCount = %d;" % len(names), ""]
    write(out, "\n".join(lines))


# The keys of the desktop entry that players read, and the setup's own
# LangStrings, as the files hold them.
DESKTOP_KEYS = ("Name", "GenericName", "Comment")
LANGSTRING = re.compile(r'^LangString\s+(\w+)\s+\$\{LANG_ENGLISH\}\s+"((?:[^"$]|\$.)*)"\s*$')
MIME_COMMENT = re.compile(r'^(\s*)<comment>([^<]*)</comment>\s*$')
# The join page's: each element marked data-i18n, on one line, whose
# content is a text without markup; the attribute's value is a note for
# translators.
PAGE_TEXT = re.compile(r'<(\w+)\b[^>]*?\sdata-i18n(?:="([^"]*)")?[^>]*>([^<]*)</\1>')


def page_texts(text):
    """The join page's texts that players read in text, as (note, text)."""
    return [(html.unescape(note or ""), html.unescape(english)) for _, note, english in PAGE_TEXT.findall(text)]


def po_string(text):
    escaped = text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n").replace("\t", "\\t")
    return '"%s"' % escaped


def extract(out, files):
    """A POT of the texts players read in the desktop entry, the MIME
    package, the setup (its English LangStrings, as NSIS writes them:
    keep $R9, $\\r$\\n and the like as they are) and the join page."""
    found = []
    for path in files:
        name = os.path.basename(path)
        with open(path, encoding="utf-8") as f:
            # The setup's "; Translators: ..." comment says what the next
            # LangString's $R9 holds.
            said = ""
            for line in f:
                line = line.rstrip("\n")
                if name.endswith(".nsi") and line.startswith("; Translators: "):
                    said = " " + line[len("; Translators: "):]
                    continue
                key, _, value = line.partition("=")
                if name.endswith(".desktop.in") and key in DESKTOP_KEYS and value:
                    found.append((path, "The desktop entry's %s." % key, value))
                m = MIME_COMMENT.match(line)
                if name.endswith(".xml") and m:
                    found.append((path, "The file type's name, as file managers show it.", xml_unescape(m.group(2))))
                m = LANGSTRING.match(line)
                if name.endswith(".nsi") and m:
                    found.append((path, "The setup's %s: keep NSIS's $ codes ($R9, $\\r$\\n) as they are.%s"
                                  % (m.group(1), said), m.group(2)))
                said = ""
                if name.endswith(".html"):
                    for note, text in page_texts(line):
                        found.append((path, ("The join page for server operators' sites. " + note).strip(), text))
    entries, seen = [], {}
    for name, note, text in found:
        if text in seen:
            continue
        seen[text] = True
        entries.append("#. %s\n#: %s\nmsgid %s\nmsgstr \"\"\n" % (note, name, po_string(text)))
    header = ('msgid ""\nmsgstr ""\n"Content-Type: text/plain; charset=UTF-8\\n"\n'
              '"Content-Transfer-Encoding: 8bit\\n"\n\n')
    write(out, header + "\n".join(entries))


def xml_unescape(text):
    return text.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", '"').replace("&amp;", "&")


def xml_escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def desktop_escape(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t")


def add_translated(template, out, po_files, translated):
    """Copies the template, and after each line that translated(line) takes
    for a text players read, as (English, format, escape), the line
    format % (code, escape(translation)) for each language that has one."""
    langs = languages(po_files)
    lines = []
    with open(template, encoding="utf-8") as f:
        for line in f:
            lines.append(line)
            found = translated(line.rstrip("\n"))
            if found:
                english, pattern, escape = found
                lines += [pattern % (code, escape(done[(None, english)])) for code, done in langs
                          if (None, english) in done]
    write(out, "".join(lines))


def desktop(template, out, po_files):
    def translated(line):
        key, _, value = line.partition("=")
        return (value, key + "[%s]=%s\n", desktop_escape) if key in DESKTOP_KEYS and value else None
    add_translated(template, out, po_files, translated)


def mime(template, out, po_files):
    def translated(line):
        m = MIME_COMMENT.match(line)
        return (xml_unescape(m.group(2)), m.group(1) + '<comment xml:lang="%s">%s</comment>\n',
                xml_escape) if m else None
    add_translated(template, out, po_files, translated)


# gettext's codes and NSIS's names of the same languages.
NSIS_LANGUAGES = {"de": "German", "es": "Spanish", "fr": "French", "ja": "Japanese", "ko": "Korean",
                  "pl": "Polish", "pt_BR": "PortugueseBR", "ru": "Russian", "tr": "Turkish",
                  "zh_CN": "SimpChinese"}


def nsis(script, out, po_files):
    """The Modern UI's languages (a macro the script inserts after English)
    and every LangString in each of them.  A language without a translation
    of one of them gets none: NSIS then warns, and the build, which turns
    warnings into errors, stops."""
    strings = []
    with open(script, encoding="utf-8") as f:
        for line in f:
            m = LANGSTRING.match(line.rstrip("\n"))
            if m:
                strings.append((m.group(1), m.group(2)))
    lines = ["; Made by cmake/translations.py from resources/po; do not edit.",
             "!macro ZARNO_LANGUAGES"]
    langs = [(code, done) for code, done in languages(po_files) if code in NSIS_LANGUAGES]
    for code, _ in langs:
        lines.append('  !insertmacro MUI_LANGUAGE "%s"' % NSIS_LANGUAGES[code])
    lines.append("!macroend")
    lines.append("!macro ZARNO_LANGSTRINGS")
    for code, done in langs:
        for name, english in strings:
            if (None, english) in done:
                text = done[(None, english)].replace('"', '$\\"')
                lines.append('  LangString %s ${LANG_%s} "%s"' % (name, NSIS_LANGUAGES[code].upper(), text))
    lines.append("!macroend")
    write(out, "\n".join(lines) + "\n")


def page(template, out, po_files):
    """The join page, its texts' translations in the script "texts" as a
    JSON object: {code: {English: translation}}.  The page's script puts
    them in place; a text a language lacks stays English."""
    with open(template, encoding="utf-8") as f:
        text = f.read()
    english = sorted({t for _, t in page_texts(text)})
    table = {code: {t: done[(None, t)] for t in english if (None, t) in done} for code, done in languages(po_files)}
    # "<" as JSON's escape, so that no "</script>" in a text ends the script.
    data = json.dumps(table, ensure_ascii=False, sort_keys=True, separators=(",", ":")).replace("<", "\\u003c")
    empty = '<script type="application/json" id="texts">{}</script>'
    if text.count(empty) != 1:
        sys.exit("%s: no %s to fill" % (template, empty))
    write(out, text.replace(empty, empty.replace("{}", data)))


def write(path, text):
    """Writes the file only when it changes, so that nothing rebuilds for nothing."""
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main():
    args = sys.argv[1:]
    if len(args) < 3:
        sys.exit(__doc__)
    mode, first, second, rest = args[0], args[1], args[2], args[3:]
    if mode == "extract":
        extract(first, [second] + rest)
    elif mode == "table":
        cut = rest.index("--not") if "--not" in rest else len(rest)
        table(first, second, rest[:cut], rest[cut + 1:])
    elif mode in ("desktop", "mime", "nsis", "page"):
        {"desktop": desktop, "mime": mime, "nsis": nsis, "page": page}[mode](first, second, rest)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
