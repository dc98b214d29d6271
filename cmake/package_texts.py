#!/usr/bin/env python3
"""The texts the Linux packages make from the project's own files, so that
each is written once: the licences from LICENSE and THIRD-PARTY-NOTICES, the
changelogs from CHANGELOG.md.

  package_texts.py spdx NOTICES LAUNCHER
      the licences of what LAUNCHER (zarnolaunch, ZarnoLaunch.exe) holds,
      ZarnoLaunch's MIT first, as one SPDX expression (RPM's License, and
      Arch's license array, one element a licence)
  package_texts.py copyright LICENSE NOTICES OUT
      Debian's machine-readable copyright file of the Linux launcher: a
      Files stanza a component, the GNU licences by reference to
      /usr/share/common-licenses, the others in full
  package_texts.py changelog deb|rpm CHANGELOG VERSION PACKAGER OUT
      Debian's changelog, or RPM's %changelog section, of VERSION and every
      older version in CHANGELOG.md
"""
import datetime
import re
import sys

# ZarnoLaunch's own licence, which LICENSE holds.
OWN = "MIT"
# SPDX's names as Debian's copyright format spells them; a licence of the
# GNU family is there by reference to the copy every Debian system has.
DEBIAN_NAMES = {"MIT": "Expat", "LGPL-2.1-or-later": "LGPL-2.1+", "GPL-3.0-or-later": "GPL-3+"}
COMMON_LICENSES = {"LGPL-2.1+": ("GNU Lesser General Public License", "LGPL-2.1"),
                   "GPL-3+": ("GNU General Public License", "GPL-3")}


def read_notices(path):
    """The components of THIRD-PARTY-NOTICES, each a dict of its fields
    (continuation lines joined with a blank), and its licence texts by name."""
    text = open(path, encoding="utf-8").read()
    listing, _, texts = text.partition("\nThe licences\n")
    components = []
    for paragraph in listing.split("\n\n"):
        fields, key = {}, None
        for line in paragraph.splitlines():
            if line.startswith(" ") and key:
                fields[key] += "\n" + line.strip()
            elif re.match(r"[A-Z][\w-]*: ", line):
                key, value = line.split(":", 1)
                fields[key] = value.strip()
        if "Component" in fields:
            components.append(fields)
    licences = dict(re.findall(r"^=== License: (\S+) ===\n\n(.*?)\n(?==== License|\Z)", texts,
                               re.M | re.S))
    return components, licences


def held_by(components, launcher):
    return [c for c in components if launcher in c["Launchers"].split()]


def terms(expression):
    """The licences of an SPDX expression of ANDs, an exception kept with its
    licence."""
    return [t.strip() for t in re.split(r"\s+AND\s+", expression)]


def spdx(components, launcher):
    found = [OWN]
    for c in held_by(components, launcher):
        found += [t for t in terms(c["License"]) if t not in found]
    return " AND ".join(found)


def debian_name(term):
    licence, _, exception = term.partition(" WITH ")
    name = DEBIAN_NAMES.get(licence, licence.replace("LicenseRef-", ""))
    return name + (" with %s exception" % exception if exception else "")


def indented(text):
    """A licence text as a Debian paragraph's continuation lines."""
    return "\n".join(" " + line if line.strip() else " ." for line in text.strip("\n").splitlines())


def copyright(licence_file, notices, out):
    components, licences = read_notices(notices)
    own = open(licence_file, encoding="utf-8").read()
    holder = re.search(r"^Copyright \(c\) (.*)$", own, re.M).group(1)
    stanzas = ["Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
               "Upstream-Name: ZarnoLaunch\n"
               "Comment: /usr/bin/zarnolaunch is linked statically: besides ZarnoLaunch's own code\n"
               " it holds the components of the Files stanzas after the first, each under its\n"
               " own licence.",
               "Files: *\nCopyright: %s\nLicense: %s" % (holder, debian_name(OWN))]
    for c in held_by(components, "zarnolaunch"):
        notes = ["%s %s, linked into /usr/bin/zarnolaunch." % (c["Component"], c["Version"])]
        notes += [wrapped("%s: %s" % (key, " ".join(c[key].split())), "", "", 78)
                  for key in ("Source", "Relinking", "Note") if key in c]
        stanzas.append("Files: %s\nCopyright: %s\nLicense: %s\nComment: %s" % (
            c["Files"], c["Copyright"].replace("\n", "\n "),
            " and ".join(debian_name(t) for t in terms(c["License"])),
            indented("\n\n".join(notes)).lstrip()))
    for term in terms(spdx(components, "zarnolaunch")):
        licence, _, exception = term.partition(" WITH ")
        for part in filter(None, (licence, exception)):
            name = debian_name(part)
            if name in COMMON_LICENSES:
                title, file = COMMON_LICENSES[name]
                body = ("%s, version %s or (at your option) any later version.\n\n"
                        "On Debian systems, the complete text of the %s version %s can be\n"
                        "found in \"/usr/share/common-licenses/%s\"."
                        % (title, file.split("-")[1], title, file.split("-")[1], file))
            elif part == OWN:
                body = own.split(holder, 1)[1]
            else:
                body = licences[part]
            stanza = "License: %s\n%s" % (name, indented(body))
            if stanza not in stanzas:
                stanzas.append(stanza)
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n\n".join(stanzas) + "\n")


def versions(changelog):
    """(version, date, [item]) of CHANGELOG.md, newest first."""
    entries = []
    for line in open(changelog, encoding="utf-8"):
        line = line.rstrip("\n")
        heading = re.match(r"## (\S+) \((\d{4}-\d\d-\d\d)\)$", line)
        if heading:
            entries.append((heading.group(1), datetime.date.fromisoformat(heading.group(2)), []))
        elif entries and line.startswith("- "):
            entries[-1][2].append(line[2:])
        elif entries and line.startswith("  ") and entries[-1][2]:
            entries[-1][2][-1] += " " + line.strip()
    return entries


def wrapped(text, first, rest, width=79):
    """text in lines of at most width, the first begun with first, the
    others with rest."""
    lines, line = [], first
    for word in text.split():
        if len(line) + len(word) + 1 > width and line not in (first, rest):
            lines.append(line)
            line = rest
        line += ("" if line in (first, rest) else " ") + word
    return "\n".join(lines + [line])


def changelog(kind, source, version, packager, out):
    entries = versions(source)
    names = [v for v, _, _ in entries]
    if version not in names:
        sys.exit("%s: no entry for version %s" % (source, version))
    parts = []
    for v, date, items in entries[names.index(version):]:
        if kind == "deb":
            parts.append("zarnolaunch (%s) stable; urgency=medium\n\n%s\n\n -- %s  %s\n" % (
                v, "\n".join(wrapped(i, "  * ", "    ") for i in items), packager,
                date.strftime("%a, %d %b %Y 00:00:00 +0000")))
        else:
            parts.append("* %s %s - %s-1\n%s\n" % (
                date.strftime("%a %b %d %Y"), packager, v,
                "\n".join(wrapped(i, "- ", "  ") for i in items)))
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(parts))


def main(argv):
    if argv[1:2] == ["spdx"] and len(argv) == 4:
        print(spdx(read_notices(argv[2])[0], argv[3]))
    elif argv[1:2] == ["copyright"] and len(argv) == 5:
        copyright(*argv[2:])
    elif argv[1:2] == ["changelog"] and len(argv) == 7 and argv[2] in ("deb", "rpm"):
        changelog(*argv[2:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
