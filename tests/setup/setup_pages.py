#!/usr/bin/env python3
"""The setup's and the uninstaller's pages as a player sees them: each run on
a virtual display (Xvfb) under Wine, in a fresh prefix with the stand-in game,
its pages walked by the test probe, which reads their texts and copies each
to a picture.  The pictures are left as PNG files in the --shots folder, for
a person to look at; the run checks that each page shows what it should and
that no page, and no details list, holds a command line ("Execute:").

    setup_pages.py --shots FOLDER --setup ... (the options of setup_test.py)
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path[:0] = [HERE, os.path.join(SOURCE, "tests", "i18n"), os.path.join(SOURCE, "cmake")]
import setup_test  # noqa: E402  (the group's one harness)
from setup_test import OURS, UNINSTALLER, check, windows  # noqa: E402
import translations  # noqa: E402  (the build's reader of resources/po)
from boxes_test import make_locales  # noqa: E402
from checks import start_xvfb  # noqa: E402  (the support folder, which setup_test puts on the path)

# The player's locale for each language, and where NSIS keeps its own texts.
LOCALES = {"de": "de_DE", "es": "es_ES", "fr": "fr_FR", "ja": "ja_JP", "ko": "ko_KR", "pl": "pl_PL",
           "pt_BR": "pt_BR", "ru": "ru_RU", "tr": "tr_TR", "zh_CN": "zh_CN"}
NLF = "/usr/share/nsis/Contrib/Language files/%s.nlf"

# Each page by a text it shows, in order; the progress pages by their bar.
SETUP_PAGES = [
    ("welcome", "When you open a game server's .zarnok file or click its link on a web page, "
                "ZarnoLaunch starts Zarnok and joins that server."),
    ("folder", "Destination Folder"),
    ("progress", None),
    ("finish", "ZarnoLaunch is installed. To join a server, open its .zarnok file or click its "
               "link on the server's web page."),
]
UNINSTALL_PAGES = [
    ("confirm", "Uninstalling from:"),
    ("progress", None),
    ("finish", "ZarnoLaunch is removed from this computer. Zarnok itself stays installed."),
]


def png(bmp, path):
    """Writes the 24-bit bottom-up bitmap file BMP as a PNG file."""
    with open(bmp, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        bgr = data[offset + y * stride:offset + y * stride + width * 3]
        rgb = bytearray(bgr)
        rgb[0::3], rgb[2::3] = bgr[2::3], bgr[0::3]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def parse_pages(output):
    """The probe's report as a list of pages, each a list of (class, visible,
    text) with a list's lines as ("item", False, text), of every time the
    page was reported."""
    pages = []
    for line in output.splitlines():
        fields = line.split("|")
        if fields[0] == "page":
            # A page is reported again as it changes: all it showed counts.
            if int(fields[1]) > len(pages):
                pages.append([])
        elif fields[0] == "item" and pages:
            pages[-1].append(("item", False, "|".join(fields[1:])))
        elif len(fields) >= 4 and pages:
            pages[-1].append((fields[0], fields[2] == "1", "|".join(fields[3:])))
    return pages


def walk(h, display, shots, name, title, program, expected, folder_by_position=False):
    """Runs PROGRAM on DISPLAY while the probe walks the window TITLE; checks
    its pages against EXPECTED and leaves them as NAME-N.png in SHOTS."""
    work = os.path.join(h.args.work, name)
    os.makedirs(work)
    probe = h.probe("pages", title, windows(work), display=display)
    status, _ = h.wine(program, display=display)
    check(status == 0, "%s ended with %d" % (name, status))
    try:
        output = probe.communicate(timeout=120)[0].decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        probe.kill()
        output = probe.communicate()[0].decode("utf-8", "replace")
    check(probe.returncode == 0, "the %s window did not close" % name)
    pages = parse_pages(output)
    for n in range(1, len(pages) + 1):
        bmp = os.path.join(work, "page-%d.bmp" % n)
        if check(os.path.exists(bmp), "no picture of %s page %d" % (name, n)):
            png(bmp, os.path.join(shots, "%s-%d.png" % (name, n)))
    kinds = [page_kind(page, expected) for page in pages]
    # The folder page's words are Modern UI's own, in each language: it is
    # known by its place, between our first page and the progress page.
    if folder_by_position and len(kinds) == len(expected):
        kinds = [kind if not kind.startswith("unknown") or want != "folder" else want
                 for kind, (want, _) in zip(kinds, expected)]
    check(kinds == [kind for kind, _ in expected], "%s showed pages %s" % (name, kinds))
    for n, page in enumerate(pages, 1):
        for kind, visible, text in page:
            check("Execute:" not in text, "%s page %d shows a command line: %r" % (name, n, text))
            check(not (visible and kind == "Button" and "Run" in text),
                  "%s page %d offers to run something: %r" % (name, n, text))
        items = [text for kind, _, text in page if kind == "item"]
        check(not items, "%s page %d lists details: %r" % (name, n, items[:3]))


def page_kind(page, expected):
    """The name of the EXPECTED page that PAGE is, or "unknown"."""
    texts = [text for kind, visible, text in page if visible]
    for kind, marker in expected:
        if marker is None and any(k == "msctls_progress32" and v for k, v, _ in page):
            return kind
        if marker is not None and any(marker in text for text in texts):
            return kind
    return "unknown: %r" % texts[:8]


def caption(language, key, version):
    """The setup's window title in a language, as NSIS makes it from its
    language file: ^SetupCaption or ^UninstallCaption with the name."""
    with open(NLF % translations.NSIS_LANGUAGES[language], "rb") as f:
        lines = f.read().decode("utf-8-sig", "replace").splitlines()
    text = lines[lines.index("# " + key) + 1]
    return text.replace("$(^Name)", "ZarnoLaunch %s" % version)


def walk_languages(h, display, shots, version):
    """The setup's pages in each language of resources/po, with the player's
    display language set through LC_ALL, as Wine reads it: our own first
    and last pages show our texts in that language.  Chinese of Taiwan has
    no translation yet, and gets the English pages, not the Simplified."""
    english = dict((name, text) for name, text in
                   (translations.LANGSTRING.match(line.rstrip("\n")).groups()
                    for line in open(os.path.join(SOURCE, "resources", "zarnolaunch-setup.nsi"), encoding="utf-8")
                    if translations.LANGSTRING.match(line.rstrip("\n"))))
    po = [os.path.join(SOURCE, "resources", "po", code + ".po") for code in LOCALES]
    locales = os.path.join(h.args.work, "locales")
    make_locales(locales, [LOCALES[code] + ".UTF-8" for code in LOCALES] + ["zh_TW.UTF-8"])
    saved = dict(h.env)
    try:
        for code, done in translations.languages(po):
            h.env.update(LC_ALL=LOCALES[code] + ".UTF-8", LOCPATH=locales)
            # "\0": no text of Modern UI's folder page is looked for.
            expected = [("welcome", done[(None, english["welcomeText"])]), ("folder", "\0"),
                        ("progress", None), ("finish", done[(None, english["finishText"])])]
            walk(h, display, shots, "setup-" + code, caption(code, "^SetupCaption", version),
                 windows(h.args.setup), expected, folder_by_position=True)
        h.env.update(LC_ALL="zh_TW.UTF-8")
        walk(h, display, shots, "setup-zh_TW", "ZarnoLaunch %s Setup" % version, windows(h.args.setup),
             [("welcome", english["welcomeText"]), *SETUP_PAGES[1:3], ("finish", english["finishText"])])
    finally:
        h.env.clear()
        h.env.update(saved)


def main():
    args = setup_test.arguments(argparse.ArgumentParser(), "shots")
    shutil.rmtree(args.shots, ignore_errors=True)
    os.makedirs(args.shots)
    xvfb, display = start_xvfb()
    h = setup_test.Harness(args, None)
    try:
        h.prepare()
        h.install_game()
        folder = h.profile() + "\\AppData\\Local\\Programs\\ZarnoLaunch"
        walk(h, display, args.shots, "setup", "ZarnoLaunch %s Setup" % args.version,
             windows(args.setup), SETUP_PAGES)
        check(h.files(folder) == OURS, "after the setup %s holds %s" % (folder, h.files(folder)))
        # The uninstaller hands over to a copy of itself and returns at once;
        # the probe waits for the copy's window.
        # The same setup in each other language, over the copy installed.
        walk_languages(h, display, args.shots, args.version)
        walk(h, display, args.shots, "uninstall", "ZarnoLaunch %s Uninstall" % args.version,
             folder + "\\" + UNINSTALLER, UNINSTALL_PAGES)
        check(h.files(folder) is None, "after the uninstall %s holds %s" % (folder, h.files(folder)))
    finally:
        h.wineserver("-k", 60)
        xvfb.terminate()
        xvfb.wait(30)
    print("pictures of the pages: %s" % args.shots)
    return setup_test.verdict(args.work)


if __name__ == "__main__":
    sys.exit(main())
