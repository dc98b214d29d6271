#!/usr/bin/env python3
"""The Windows setup under Wine, in a fresh prefix with a stand-in game.

"main": the setup without the game, a silent install, a link file and a server
link opened through the shell, the setup again and into another folder, the
quiet uninstall string and the _?= way of uninstalling.  "cyrillic": install,
a link and uninstall for a user whose profile folder is named in Cyrillic.
The prefix is removed when all passed.
"""
import argparse
import filecmp
import os
import re
import shutil
import subprocess
import sys
import time

UNINSTALL = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
ENTRY = UNINSTALL + "\\ZarnoLaunch"
CLASSES = "HKEY_LOCAL_MACHINE\\Software\\Classes"
GAME = "C:\\Games\\Zarnok\\zarnok.exe"
STRING = r'"((?:[^"\\]|\\.)*)"'
REG_VALUE = re.compile(r'(?:@|%s)=(?:%s|dword:(\w+)|([^:]*):(.*))$' % (STRING, STRING))

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what, flush=True)
    return condition


def unescape(s):
    return re.sub(r"\\(.)", r"\1", s or "")


def parse_reg(text):
    """A .reg file as {key: {value name: (type, data)}}, names in lower case."""
    tree, values = {}, None
    # Binary data runs on over lines that end with a backslash.
    for line in re.sub(r"\\\r?\n\s*", "", text).splitlines():
        m = REG_VALUE.match(line)
        if line.startswith("["):
            values = tree.setdefault(line[1:line.rindex("]")].lower(), {})
        elif m and values is not None:
            name = unescape(m[1]).lower()
            if m[2] is not None:
                values[name] = ("sz", unescape(m[2]))
            elif m[3]:
                values[name] = ("dword", int(m[3], 16))
            else:
                values[name] = (m[4], bytes.fromhex(m[5].replace(",", "")))
    return tree


def unquoted(argument):
    """NSIS takes /D= and _?= unquoted, blanks and all, at the end of the
    command line, but Wine quotes an argument that holds a blank; given in
    parts, which Wine joins with blanks, it stays unquoted."""
    return argument.split(" ")


class Harness:
    """One Wine prefix, with the stand-in game's record beside it."""

    def __init__(self, args, user):
        self.args = args
        self.path = os.path.join(args.work, "prefix")
        self.record = os.path.join(args.work, "record")
        # The stand-in game writes what it was given to ZARNOK_RECORD.
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEARCH="win32", WINEDEBUG="-all",
                        LC_ALL="C.UTF-8", ZARNOK_RECORD="Z:" + self.record.replace("/", "\\"))
        if user:
            # Wine names the profile folder after $USER when it makes the prefix.
            self.env["USER"] = self.env["LOGNAME"] = user

    def wine(self, *args):
        r = subprocess.run(["sh", self.args.wine_run, self.path, *args], env=self.env,
                           capture_output=True, timeout=120)
        return r.returncode, r.stdout.decode("utf-8", "replace")

    def wineserver(self, option, timeout):
        subprocess.run(["wineserver", option], env=self.env, timeout=timeout,
                       stderr=subprocess.DEVNULL)

    def unix(self, windows_path):
        """The Unix path of a path on drive C:."""
        return os.path.join(self.path, "drive_c") + windows_path[2:].replace("\\", "/")

    def profile(self):
        """C:\\users\\NAME, the one user's profile folder (Wine's layout)."""
        users = [u for u in os.listdir(self.unix("C:\\users")) if u != "Public"]
        check(len(users) == 1, "profile folders: %s" % users)
        return "C:\\users\\" + users[0]

    def export(self, key):
        out = self.unix("C:\\export.reg")
        status, _ = self.wine("regedit", "/e", "C:\\export.reg", key)
        if not check(os.path.exists(out), "regedit could not export %s (status %d)" % (key, status)):
            return {}
        with open(out, "rb") as f:
            text = f.read().decode("utf-16")
        os.remove(out)
        return parse_reg(text)

    def registry(self):
        """The user's registry and the machine's software, as one map."""
        return {**self.export("HKEY_CURRENT_USER"), **self.export("HKEY_LOCAL_MACHINE\\Software")}

    def check_registry(self, before, what):
        after = self.registry()
        diff = ["%s: %r -> %r" % (k, before.get(k), after.get(k))
                for k in sorted(set(before) | set(after)) if before.get(k) != after.get(k)]
        check(not diff, "%s the registry differs: %s" % (what, "; ".join(diff[:6])))

    def import_reg(self, text):
        path = self.unix("C:\\import.reg")
        with open(path, "wb") as f:
            f.write(("\ufeffWindows Registry Editor Version 5.00\r\n\r\n" + text).encode("utf-16-le"))
        status, _ = self.wine("regedit", "/s", "C:\\import.reg")
        os.remove(path)
        return status

    def setup(self, *options):
        return self.wine("Z:" + os.path.abspath(self.args.setup).replace("/", "\\"), *options)[0]

    def log(self):
        """The log of the last setup or uninstall, in the user's TEMP folder."""
        try:
            with open(self.unix(self.profile() + "\\Temp\\ZarnoLaunch-setup.log"), "rb") as f:
                return f.read().decode("utf-8", "replace")
        except OSError:
            return ""

    def install_game(self):
        game = self.unix(GAME)
        os.makedirs(os.path.dirname(game), exist_ok=True)
        shutil.copy(self.args.game, game)
        command = ('"%s" "%%1"' % GAME).replace("\\", "\\\\").replace('"', '\\"')
        status = self.import_reg('[HKEY_CLASSES_ROOT\\Zarnok\\shell\\open\\command]\r\n@="%s"\r\n'
                                 % command)
        check(status == 0, "the game's registry entry could not be imported")

    def open_through_shell(self, target, address):
        """Opens TARGET as Explorer would and checks that the game got ADDRESS."""
        if os.path.exists(self.record):
            os.remove(self.record)
        status, _ = self.wine("start", target)
        check(status == 0, "start %s ended with %d" % (target, status))
        deadline = time.monotonic() + 60
        while not os.path.exists(self.record) and time.monotonic() < deadline:
            time.sleep(0.2)
        got = open(self.record, "rb").read() if os.path.exists(self.record) else None
        want = ("%d:%s\n" % (len(address), address)).encode()
        check(got == want, "opening %s started the game with %r, not %r" % (target, got, want))

    def install(self, folder, *options):
        """Runs the setup silently and checks the files, registration and
        uninstall entry of the copy in FOLDER; returns the registry."""
        status = self.setup("/S", *options)
        check(status == 0, "the setup into %s ended with %d; log: %r" % (folder, status, self.log()))
        tree = self.registry()
        exe, uninstaller = folder + "\\ZarnoLaunch.exe", folder + "\\uninstall.exe"
        unix = self.unix(folder)
        files = sorted(os.listdir(unix)) if os.path.isdir(unix) else None
        check(files == ["ZarnoLaunch.exe", "uninstall.exe"], "%s holds %s" % (folder, files))
        paths = [self.unix(exe), self.unix(uninstaller)]
        check(os.path.exists(paths[0]) and filecmp.cmp(paths[0], self.args.launcher, shallow=False),
              "the installed launcher is not the one built")
        # Every class entry "-install" writes, for a game without an icon entry.
        for key, name, data in [
                (".zarnok", "", ("sz", "ZarnoLaunch")),
                ("ZarnoLaunch", "", ("sz", "Zarnok Launcher")),
                ("ZarnoLaunch", "Path to Zarnok", ("sz", GAME)),
                ("ZarnoLaunch\\DefaultIcon", "", ("sz", GAME)),
                ("ZarnoLaunch\\shell\\open\\command", "", ("sz", '"%s" "%%1"' % exe)),
                ("MIME\\Database\\Content Type\\application/zarnolaunch", "Extension", ("sz", ".zarnok")),
                ("ZarnoLaunch", "editflags", ("hex", b"\0\0\1\0")),
                ("ZarnoLaunch", "URL Protocol", ("sz", ""))]:
            got = tree.get((CLASSES + "\\" + key).lower(), {}).get(name.lower())
            check(got == data, "%s [%s] is %r, not %r" % (key, name, got, data))
        check("hkey_current_user\\software\\classes\\zarnolaunch" not in tree,
              "the registration went to the user's classes too")
        size = sum(os.path.getsize(p) for p in paths if os.path.exists(p))
        want = {
            "displayname": ("sz", "ZarnoLaunch"),
            "displayversion": ("sz", self.args.version),
            "displayicon": ("sz", exe),
            "publisher": ("sz", "ZarnoLaunch developers"),
            "installlocation": ("sz", folder),
            "uninstallstring": ("sz", '"%s"' % uninstaller),
            "quietuninstallstring": ("sz", '"%s" /S' % uninstaller),
            "estimatedsize": ("dword", (size + 1023) // 1024),
            "nomodify": ("dword", 1),
            "norepair": ("dword", 1),
        }
        check(tree.get(ENTRY.lower()) == want,
              "the uninstall entry is %r, not %r" % (tree.get(ENTRY.lower()), want))
        # One entry, whatever its key.
        entries = [k for k, v in tree.items() if k.startswith(UNINSTALL.lower() + "\\")
                   and v.get("displayname", (None, None))[1] == "ZarnoLaunch"]
        check(len(entries) == 1, "uninstall entries: %s" % entries)
        return tree

    def uninstall(self, tree, clean, folder):
        """Runs the quiet uninstall string of TREE as Settings > Apps does and
        checks that the registry is CLEAN again and FOLDER gone.  The waiting is
        needed because the uninstaller hands over to a copy of itself in the
        temporary folder and returns at once."""
        command = tree.get(ENTRY.lower(), {}).get("quietuninstallstring", (None, ""))[1]
        if check(command.startswith('"'), "no quiet uninstall string: %r" % command):
            program, rest = command[1:].split('"', 1)
            status, _ = self.wine(program, *rest.split())
            check(status == 0, "the uninstaller ended with %d" % status)
            self.wineserver("-w", 300)
        self.check_registry(clean, "after the uninstall")
        check(not os.path.exists(self.unix(folder)), "%s is still there" % folder)
        check("Uninstalled." in self.log(), "the uninstall log: %r" % self.log())


def main_case(h):
    programs = h.profile() + "\\AppData\\Local\\Programs"
    default = programs + "\\ZarnoLaunch"

    # Without the game the setup refuses and leaves nothing behind.
    before = h.registry()
    status = h.setup("/S")
    check(status == 3, "without the game the setup ended with %d, not 3" % status)
    log = h.log()
    check("Install Zarnok first, then run this setup again." in log and
          "Zarnok is not properly installed!  Please reinstall Zarnok." in log,
          "the log gives no reason: %r" % log)
    h.check_registry(before, "without the game")
    check(not os.path.exists(h.unix(programs)), "without the game %s was left" % programs)

    h.install_game()
    clean = h.registry()
    h.install(default)
    status, listed = h.wine("uninstaller", "--list")
    check(listed.count("|||ZarnoLaunch") == 1, "wine uninstaller --list: %r" % listed)
    link_file = "C:\\links\\play here.zarnok"
    os.makedirs(os.path.dirname(h.unix(link_file)))
    with open(h.unix(link_file), "w") as f:
        f.write("[ZarnoLaunch]\r\nServer=file.open.test:7777\r\n")
    h.open_through_shell(link_file, "file.open.test:7777")
    h.open_through_shell("zarnolaunch://link.open.test:7778", "link.open.test:7778")

    # The same setup again: the same folder, one entry.
    h.install(default)
    check(os.listdir(h.unix(programs)) == ["ZarnoLaunch"],
          "Programs holds %s" % os.listdir(h.unix(programs)))

    # Into another folder: the copy moves there.
    other = "C:\\Other Games\\ZarnoLaunch"
    tree = h.install(other, *unquoted("/D=" + other))
    check(not os.path.exists(h.unix(default)), "the copy in %s was kept" % default)
    h.open_through_shell("zarnolaunch://moved.open.test:1", "moved.open.test:1")
    h.uninstall(tree, clean, other)

    # As a script uninstalls and waits: with _?= the uninstaller runs in
    # place, returns when it is done, and leaves only itself.
    check(h.setup("/S") == 0, "the setup after the uninstall failed")
    status, _ = h.wine(default + "\\uninstall.exe", "/S", *unquoted("_?=" + default))
    check(status == 0, "the uninstaller with _?= ended with %d" % status)
    left = os.listdir(h.unix(default)) if os.path.isdir(h.unix(default)) else []
    check(left == ["uninstall.exe"], "with _?= the uninstall left %s" % left)
    check(ENTRY.lower() not in h.export(UNINSTALL), "with _?= the uninstall entry stayed")


def cyrillic_case(h, user):
    # The ANSI code page cannot name this profile folder, but the setup, the
    # launcher and the shell must.
    check(h.profile() == "C:\\users\\" + user, "the profile folder is %s" % h.profile())
    h.install_game()
    clean = h.registry()
    folder = h.profile() + "\\AppData\\Local\\Programs\\ZarnoLaunch"
    tree = h.install(folder)
    h.open_through_shell("zarnolaunch://cyrillic.open.test:7777", "cyrillic.open.test:7777")
    h.uninstall(tree, clean, folder)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=["main", "cyrillic"])
    for option in ("setup", "launcher", "game", "wine-run", "work", "version"):
        parser.add_argument("--" + option, required=True)
    args = parser.parse_args()
    args.work = os.path.abspath(args.work)
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    user = "Сергей" if args.case == "cyrillic" else None
    h = Harness(args, user)
    try:
        # The first run makes the prefix.
        check(h.wine("cmd", "/c", "exit")[0] == 0, "the prefix could not be made")
        # Keys that every Windows has and a fresh prefix lacks until something
        # writes below them; nothing takes them away.
        h.import_reg("[%s]\r\n\r\n[%s\\MIME\\Database\\Content Type]\r\n" % (UNINSTALL, CLASSES))
        if args.case == "main":
            main_case(h)
        else:
            cyrillic_case(h, user)
    finally:
        h.wineserver("-k", 60)
    if failures:
        print("%d check(s) failed; the prefix is kept in %s" % (len(failures), args.work))
        return 1
    shutil.rmtree(args.work, ignore_errors=True)
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
