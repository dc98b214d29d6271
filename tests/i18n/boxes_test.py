#!/usr/bin/env python3
"""What the player reads, in each language: one table (boxes.tsv) of the
player's locale, a case and the box's title and text, checked on both
systems with the real launcher.

  linux:   the launcher's dialog, through a stand-in zenity that records
           the title and text it was given;
  windows: the launcher's message box under Wine, on Xvfb, read from its
           window by windows_probe.exe and closed.  Wine takes the display
           language from LANG, and falls back to English without a word
           when glibc has no such locale, so the locales are made here
           (localedef, into a folder of the test's own named by LOCPATH).
           The fonts for Chinese, Japanese and Korean are not installed:
           the box must still appear, with its text in its window.

  boxes_test.py linux --launcher L --game G --table T --work W
  boxes_test.py windows --launcher L.exe --game G.exe --reader R.exe
                --wine-run cmake/wine-run.sh --table T --work W

The cases: "missing-game" (a link, and no game installed), "bad-link" (a
server link that names no server) and "installed" ("-install"); on Linux
also "lutris-N", a missing game where Lutris's settings name N prefixes, and
"registry-folder", a folder where the registry file should be.
A text that begins with "..." is how the box's text ends; {work} stands for
the work folder.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "support"))
from checks import check, failures, start_xvfb  # noqa: E402  (the harnesses' one way to check)



def read_table(path, platform):
    rows = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 5:
                sys.exit("%s:%d: five fields separated by tabs, not %d" % (path, number, len(fields)))
            systems, locale, case, title, text = fields
            if systems in ("both", platform):
                unescape = lambda s: s.replace("\\n", "\n").replace("\\t", "\t").replace("\\\\", "\\")
                rows.append((locale, case, unescape(title), unescape(text)))
    # The cases in the order the registry goes through them.
    order = {"missing-game": 0, "lutris": 0, "registry-folder": 0, "bad-link": 1, "installed": 2}
    return sorted(rows, key=lambda row: order[row[1].rstrip("0123456789").rstrip("-")])


def arguments(case):
    return {"bad-link": ["zarnolaunch://nowhere"], "installed": ["-install"]}.get(case, ["zarnolaunch://a.b.c:1"])


def lutris_settings(home, count):
    """Lutris's settings of COUNT games, each in a prefix of its own."""
    games = os.path.join(home, ".config", "lutris", "games")
    shutil.rmtree(games, ignore_errors=True)
    os.makedirs(games)
    for n in range(count):
        os.makedirs(os.path.join(home, "prefix-%d" % n), exist_ok=True)
        with open(os.path.join(games, "game-%d.yml" % n), "w") as f:
            f.write("game:\n  prefix: %s/prefix-%d\nwine:\n  version: system\n" % (home, n))


def locale_environment(locale):
    """LANG, or several assignments ("LANGUAGE=fr:de LANG=de_DE.UTF-8")."""
    env = {}
    for part in locale.split(" "):
        name, _, value = part.partition("=")
        if value:
            env[name] = value
        else:
            env["LANG"] = name
    return env


def linux(args, rows):
    home = os.path.join(args.work, "home")
    stand_in = os.path.join(args.work, "bin")
    os.makedirs(home)
    os.makedirs(stand_in)
    record = os.path.join(args.work, "zenity-record")
    with open(os.path.join(stand_in, "zenity"), "w") as f:
        f.write('#!/bin/sh\nprintf "%%s\\0" "$@" > "%s"\n' % record)
    os.chmod(os.path.join(stand_in, "zenity"), 0o755)
    registry = os.path.join(args.work, "registry.reg")
    base = {k: v for k, v in os.environ.items()
            if k not in ("LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES", "WAYLAND_DISPLAY")}
    base.update(HOME=home, XDG_CONFIG_HOME=home + "/.config", XDG_DATA_HOME=home + "/.local/share",
                DISPLAY=":99", XDG_CURRENT_DESKTOP="GNOME", ZARNOLAUNCH_REGISTRY=registry,
                PATH=stand_in + ":" + os.environ.get("PATH", "/usr/bin"), ZARNOK_RECORD=os.devnull)
    for locale, case, title, text in rows:
        lutris = case.startswith("lutris-")
        if lutris:
            lutris_settings(home, int(case[7:]))
        if case not in ("bad-link", "installed") and os.path.exists(registry):
            os.remove(registry)
        if case == "registry-folder":
            os.mkdir(registry)
        if case in ("bad-link", "installed") and not os.path.exists(registry):
            with open(registry, "w") as f:
                f.write('REGEDIT4\n\n[HKEY_CLASSES_ROOT\\Zarnok\\shell\\open\\command]\n'
                        '@="\\"%s\\" \\"%%1\\""\n' % args.game)
        if os.path.exists(record):
            os.remove(record)
        env = dict(base, **locale_environment(locale))
        subprocess.run([args.launcher] + arguments(case), env=env, capture_output=True, timeout=60)
        given = {}
        if check(os.path.exists(record), "%s %s: no dialog" % (locale, case)):
            for arg in open(record, "rb").read().decode("utf-8", "replace").split("\0"):
                key, _, value = arg.partition("=")
                given[key] = value
        compare(locale, case, title, text.replace("{work}", args.work), given.get("--title"), given.get("--text"))
        shutil.rmtree(os.path.join(home, ".config", "lutris"), ignore_errors=True)
        if os.path.isdir(registry):
            os.rmdir(registry)


def compare(locale, case, title, text, got_title, got_text):
    check(got_title == title, "%s %s: the title is %r, not %r" % (locale, case, got_title, title))
    if text.startswith("..."):
        check(got_text is not None and got_text.endswith(text[3:]),
              "%s %s: the text is %r, and does not end with %r" % (locale, case, got_text, text[3:]))
    else:
        check(got_text is not None and got_text.startswith(text),
              "%s %s: the text is %r, and does not begin with %r" % (locale, case, got_text, text))


def windows(args, rows):
    prefix = os.path.join(args.work, "prefix")
    locales = os.path.join(args.work, "locales")
    os.makedirs(locales)
    make_locales(locales, [locale_environment(locale).get("LANG", "C") for locale, _, _, _ in rows])
    xvfb, display = start_xvfb()
    env = {k: v for k, v in os.environ.items() if k not in ("LANGUAGE", "LC_ALL", "LC_MESSAGES", "WAYLAND_DISPLAY")}
    env.update(WINEPREFIX=prefix, WINEARCH="win32", WINEDEBUG="-all", LOCPATH=locales, DISPLAY=display,
               WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
    try:
        subprocess.run(["sh", args.wine_run, prefix, "cmd", "/c", "exit"], env=env, check=True,
                       capture_output=True, timeout=300)
        game = os.path.join(prefix, "drive_c", "zarnok.exe")
        shutil.copy(args.game, game)
        registered = False
        for locale, case, title, text in rows:
            if case != "missing-game" and not registered:
                subprocess.run(["wine", "reg", "add", r"HKCR\Zarnok\shell\open\command", "/ve", "/d",
                                '"C:\\zarnok.exe" "%1"', "/f"], env=env, check=True, capture_output=True)
                registered = True
            run_env = dict(env, **locale_environment(locale))
            launcher = "Z:" + os.path.abspath(args.launcher).replace("/", "\\")
            r = subprocess.run(["wine", args.reader, "box", launcher] + arguments(case), env=run_env,
                               capture_output=True, timeout=120)
            out = r.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
            got_title, _, got_text = out.partition("\n--\n")
            if not check(r.returncode != 100 and "\n--\n" in out,
                         "%s %s: no box (%s)" % (locale, case, r.stderr.decode("utf-8", "replace").strip())):
                continue
            compare(locale, case, title, text, got_title, got_text.rstrip("\n"))
    finally:
        subprocess.run(["wineserver", "-k"], env=env)
        xvfb.terminate()
        xvfb.wait()


def make_locales(folder, names):
    """The locales Wine needs to take a display language from LANG, made in
    folder for LOCPATH: glibc's own are not there on every machine."""
    os.makedirs(folder, exist_ok=True)
    for name in names:
        if name.endswith(".UTF-8") and not os.path.isdir(os.path.join(folder, name)):
            subprocess.run(["localedef", "-i", name[:-6], "-f", "UTF-8", os.path.join(folder, name)],
                           check=True, capture_output=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("platform", choices=["linux", "windows"])
    for option in ("launcher", "game", "table", "work"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--reader")
    parser.add_argument("--wine-run")
    args = parser.parse_args()
    args.work = os.path.abspath(args.work)
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    rows = read_table(args.table, args.platform)
    check(len(rows) > 0, "no rows for " + args.platform)
    (linux if args.platform == "linux" else windows)(args, rows)
    if failures:
        print("%d check(s) failed; what they ran is in %s" % (len(failures), args.work))
        return 1
    shutil.rmtree(args.work, ignore_errors=True)
    print("%d boxes checked" % len(rows))
    return 0


if __name__ == "__main__":
    sys.exit(main())
