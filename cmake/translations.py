#!/usr/bin/env python3
"""The translations the launcher carries, from gettext's own files.

    translations.py table POT OUT.cpp PO...    the C++ table of every text

POT lists the English texts (msgid), in the order the tables keep; each PO
file (resources/po/<code>.po) is one language's translations.  A text that a
PO file leaves untranslated, or marks fuzzy, is left out of the table, and
the player reads it in English (the tests refuse such a file).  Only the
standard library is used.
"""
import os
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


def read_po(path):
    """The file's entries, in order: (msgctxt or None, msgid, msgstr, fuzzy)."""
    entries, entry, field = [], {}, None

    def flush():
        if "msgid" in entry:
            entries.append((entry.get("msgctxt"), entry["msgid"], entry.get("msgstr", ""),
                            entry.get("fuzzy", False)))
        entry.clear()

    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.strip()
            if line.startswith("#") or not line:
                # A comment, or a blank line, after an entry starts the next.
                if "msgstr" in entry:
                    flush()
                if line.startswith("#,"):
                    entry["fuzzy"] = "fuzzy" in (flag.strip() for flag in line[2:].split(","))
                continue
            keyword, _, rest = line.partition(" ")
            if keyword in ("msgctxt", "msgid", "msgstr"):
                if keyword != "msgstr" and "msgstr" in entry:
                    flush()
                field = keyword
                entry[field] = unquote(rest.strip()[1:-1])
            elif line.startswith('"') and field:
                entry[field] += unquote(line[1:-1])
    flush()
    return entries


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
    """(code, {(context, English): translation}) for each PO file, by code."""
    result = []
    for path in sorted(po_files):
        code = os.path.splitext(os.path.basename(path))[0]
        done = {(ctx, msgid): msgstr for ctx, msgid, msgstr, fuzzy in read_po(path)
                if msgid and msgstr and not fuzzy}
        result.append((code, done))
    return result


def table(pot, out, po_files):
    texts = [(ctx, msgid) for ctx, msgid, _, _ in read_po(pot) if msgid and ctx is None]
    lines = ["// Made by cmake/translations.py from resources/po; do not edit.",
             '#include "platform/language.h"', "",
             "const char *const translatedTexts[] = {"]
    lines += ["    %s," % c_string(msgid) for _, msgid in texts]
    lines += ["};", "const int translatedTextCount = %d;" % len(texts), ""]
    names = []
    for code, done in languages(po_files):
        name = "texts_" + code
        names.append((code, name))
        lines.append("static const char *const %s[] = {" % name)
        for key in texts:
            lines.append("    %s," % (c_string(done[key]) if key in done else "nullptr"))
        lines.append("};")
    lines.append("const Translation translations[] = {")
    lines += ['    {"%s", %s},' % (code, name) for code, name in names]
    if not names:
        lines.append("    {\"\", nullptr},")
    lines += ["};", "const int translationCount = %d;" % len(names), ""]
    write(out, "\n".join(lines))


def write(path, text):
    """Writes the file only when it changes, so that nothing rebuilds for nothing."""
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main():
    if len(sys.argv) < 4 or sys.argv[1] not in ("table",):
        sys.exit(__doc__)
    table(sys.argv[2], sys.argv[3], sys.argv[4:])


if __name__ == "__main__":
    main()
