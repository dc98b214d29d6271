#!/usr/bin/env python3
"""The Windows setup under Wine, in a fresh prefix with a stand-in game.

    setup_test.py main|cyrillic --setup SETUP.exe --launcher ZarnoLaunch.exe
                  --game zarnok-demo.exe --wine-run wine-run.sh --work DIR

"main" runs, in one prefix: the setup without the game, a silent install, the
shell opening a link file and a server link, the setup again, the setup into
another folder, and the quiet uninstall string as Settings > Apps runs it.
"cyrillic" installs, opens a link and uninstalls for a user whose profile
folder is named in Cyrillic letters.  The prefix is removed when all passed.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

UNINSTALL = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
ENTRY = UNINSTALL + "\\ZarnoLaunch"
CLASSES = "HKEY_LOCAL_MACHINE\\Software\\Classes"
USER_CLASSES = "HKEY_CURRENT_USER\\Software\\Classes"
GAME = "C:\\Games\\Zarnok\\zarnok.exe"
NOT_INSTALLED = "Zarnok is not properly installed!  Please reinstall Zarnok."
INSTALL_FIRST = "Install Zarnok first, then run this setup again."

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what, flush=True)
    return condition


class Prefix:
    """One Wine prefix: runs programs in it, reads its registry and files."""

    def __init__(self, path, wine_run, user=None):
        self.path = path
        self.wine_run = wine_run
        self.env = dict(os.environ, WINEPREFIX=path, WINEARCH="win32", WINEDEBUG="-all",
                        LC_ALL="C.UTF-8")
        if user:
            # Wine names the profile folder after $USER when it makes the prefix.
            self.env["USER"] = self.env["LOGNAME"] = user
        self.exports = 0

    def wine(self, *args, timeout=120):
        r = subprocess.run(["sh", self.wine_run, self.path] + list(args), env=self.env,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
        return r.returncode, r.stdout.decode("utf-8", "replace")

    def wait_for_all(self):
        """Waits until every process in the prefix has ended."""
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=300, check=False)

    def kill(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60, check=False,
                       stderr=subprocess.DEVNULL)

    def unix(self, windows_path):
        """The Unix path of a path on drive C: or Z:."""
        drive, rest = windows_path[0].upper(), windows_path[2:].replace("\\", "/")
        if drive == "Z":
            return rest
        return os.path.join(self.path, "drive_c") + rest

    def export(self, key):
        """The tree under KEY as {key: {value name: (type, data)}}, names in lower case."""
        self.exports += 1
        out = os.path.join(self.path, "drive_c", "export%d.reg" % self.exports)
        status, _ = self.wine("regedit", "/e", "C:\\export%d.reg" % self.exports, key)
        if not os.path.exists(out):
            check(False, "regedit could not export %s (status %d)" % (key, status))
            return {}
        with open(out, "rb") as f:
            text = f.read().decode("utf-16")
        os.remove(out)
        return parse_reg(text)

    def registry(self):
        """The user's registry and the machine's software, as one map."""
        tree = self.export("HKEY_CURRENT_USER")
        tree.update(self.export("HKEY_LOCAL_MACHINE\\Software"))
        return tree

    def import_reg(self, text):
        path = os.path.join(self.path, "drive_c", "import.reg")
        with open(path, "wb") as f:
            f.write(("\ufeffWindows Registry Editor Version 5.00\r\n\r\n" + text).encode("utf-16-le"))
        status, _ = self.wine("regedit", "/s", "C:\\import.reg")
        os.remove(path)
        return status


def unescape(s):
    out, i = [], 0
    while i < len(s):
        if s[i] == "\\" and i + 1 < len(s):
            i += 1
        out.append(s[i])
        i += 1
    return "".join(out)


def parse_string(s):
    """A quoted .reg string at the start of S: (text, what follows)."""
    assert s[0] == '"', s
    i = 1
    while s[i] != '"':
        i += 2 if s[i] == "\\" else 1
    return unescape(s[1:i]), s[i + 1:]


def parse_reg(text):
    tree, values = {}, None
    lines = text.replace("\r\n", "\n").split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        # Binary data runs on over lines that end with a backslash.
        while line.endswith("\\") and i < len(lines):
            line = line[:-1] + lines[i].strip()
            i += 1
        if line.startswith("["):
            values = tree.setdefault(line[1:line.rindex("]")].lower(), {})
        elif values is not None and (line.startswith('"') or line.startswith("@=")):
            if line.startswith("@="):
                name, rest = "", line[2:]
            else:
                name, rest = parse_string(line)
                rest = rest[1:]
            if rest.startswith('"'):
                values[name.lower()] = ("sz", parse_string(rest)[0])
            elif rest.startswith("dword:"):
                values[name.lower()] = ("dword", int(rest[6:], 16))
            else:
                kind, _, data = rest.partition(":")
                values[name.lower()] = (kind, bytes(int(b, 16) for b in data.split(",") if b))
    return tree


def value(tree, key, name=""):
    """The data of a value, or None."""
    found = tree.get(key.lower(), {}).get(name.lower())
    return found[1] if found else None


def registry_difference(before, after):
    """The keys and values that differ, at most a few, for the message."""
    lines = []
    for key in sorted(set(before) | set(after)):
        if before.get(key) != after.get(key):
            lines.append("%s: %r -> %r" % (key, before.get(key), after.get(key)))
    return "; ".join(lines[:6])


def class_rows(launcher):
    """Every class entry "-install" writes, for a game without an icon entry."""
    return [
        (".zarnok", "", ("sz", "ZarnoLaunch")),
        ("ZarnoLaunch", "", ("sz", "Zarnok Launcher")),
        ("ZarnoLaunch", "Path to Zarnok", ("sz", GAME)),
        ("ZarnoLaunch\\DefaultIcon", "", ("sz", GAME)),
        ("ZarnoLaunch\\shell\\open\\command", "", ("sz", '"%s" "%%1"' % launcher)),
        ("MIME\\Database\\Content Type\\application/zarnolaunch", "Extension", ("sz", ".zarnok")),
        ("ZarnoLaunch", "editflags", ("hex", b"\0\0\1\0")),
        ("ZarnoLaunch", "URL Protocol", ("sz", "")),
    ]


class Harness:
    def __init__(self, args, prefix):
        self.args = args
        self.prefix = prefix
        self.record = os.path.join(args.work, "record")
        # The stand-in game writes what it was given here.
        prefix.env["ZARNOK_RECORD"] = "Z:" + self.record.replace("/", "\\")

    def setup(self, *options):
        setup = "Z:" + os.path.abspath(self.args.setup).replace("/", "\\")
        return self.prefix.wine(setup, *options)[0]

    def log(self):
        """The log of the last setup or uninstall, in the user's TEMP folder."""
        path = self.prefix.unix(profile_folder(self.prefix) + "\\Temp\\ZarnoLaunch-setup.log")
        try:
            with open(path, "rb") as f:
                return f.read().decode("utf-8", "replace")
        except OSError:
            return ""

    def install_game(self):
        game = self.prefix.unix(GAME)
        os.makedirs(os.path.dirname(game), exist_ok=True)
        shutil.copy(self.args.game, game)
        command = ('"%s" "%%1"' % GAME).replace("\\", "\\\\").replace('"', '\\"')
        status = self.prefix.import_reg("[HKEY_CLASSES_ROOT\\Zarnok\\shell\\open\\command]\r\n"
                                        '@="%s"\r\n' % command)
        check(status == 0, "the game's registry entry could not be imported")

    def open_through_shell(self, target, address):
        """Opens TARGET as Explorer would and checks that the game got ADDRESS."""
        if os.path.exists(self.record):
            os.remove(self.record)
        status, _ = self.prefix.wine("start", target)
        check(status == 0, "start %s ended with %d" % (target, status))
        deadline = time.monotonic() + 60
        while not os.path.exists(self.record) and time.monotonic() < deadline:
            time.sleep(0.2)
        got = open(self.record, "rb").read() if os.path.exists(self.record) else None
        want = ("%d:%s\n" % (len(address), address)).encode()
        check(got == want, "opening %s started the game with %r, not %r" % (target, got, want))

    def check_installed(self, folder, tree):
        """Files, registration and uninstall entry of a copy in FOLDER."""
        exe = folder + "\\ZarnoLaunch.exe"
        uninstaller = folder + "\\uninstall.exe"
        unix = self.prefix.unix(folder)
        check(os.path.isdir(unix) and sorted(os.listdir(unix)) == ["ZarnoLaunch.exe", "uninstall.exe"],
              "%s holds %s" % (folder, sorted(os.listdir(unix)) if os.path.isdir(unix) else "nothing"))
        if os.path.exists(self.prefix.unix(exe)):
            with open(self.prefix.unix(exe), "rb") as a, open(self.args.launcher, "rb") as b:
                check(a.read() == b.read(), "the installed launcher is not the one built")
        for key, name, data in class_rows(exe):
            got = tree.get((CLASSES + "\\" + key).lower(), {}).get(name.lower())
            check(got == data, "%s [%s] is %r, not %r" % (key, name, got, data))
        check((USER_CLASSES + "\\ZarnoLaunch").lower() not in tree,
              "the registration went to the user's classes too")
        sizes = 0
        for f in (exe, uninstaller):
            sizes += os.path.getsize(self.prefix.unix(f)) if os.path.exists(self.prefix.unix(f)) else 0
        want = {
            "displayname": ("sz", "ZarnoLaunch"),
            "displayversion": ("sz", self.args.version),
            "displayicon": ("sz", exe),
            "publisher": ("sz", "ZarnoLaunch developers"),
            "installlocation": ("sz", folder),
            "uninstallstring": ("sz", '"%s"' % uninstaller),
            "quietuninstallstring": ("sz", '"%s" /S' % uninstaller),
            "estimatedsize": ("dword", (sizes + 1023) // 1024),
            "nomodify": ("dword", 1),
            "norepair": ("dword", 1),
        }
        check(tree.get(ENTRY.lower()) == want,
              "the uninstall entry is %r, not %r" % (tree.get(ENTRY.lower()), want))
        # One entry, whatever its key.
        entries = [k for k, v in tree.items() if k.startswith(UNINSTALL.lower() + "\\")
                   and v.get("displayname", (None, None))[1] == "ZarnoLaunch"]
        check(len(entries) == 1, "uninstall entries: %s" % entries)

    def uninstall_quietly(self, tree):
        """Runs the quiet uninstall string as Settings > Apps does, and waits
        for the uninstall itself: the uninstaller hands over to a copy of itself
        in the temporary folder and returns at once."""
        command = value(tree, ENTRY, "QuietUninstallString")
        if not check(command and command.startswith('"'), "no quiet uninstall string: %r" % command):
            return
        program, rest = command[1:].split('"', 1)
        status, _ = self.prefix.wine(program, *rest.split())
        check(status == 0, "the uninstaller ended with %d" % status)
        self.prefix.wait_for_all()


def unquoted(argument):
    """NSIS takes /D= and _?= unquoted, blanks and all, at the end of the
    command line; Wine quotes an argument that holds a blank.  Given in parts,
    which Wine joins with blanks, it stays unquoted."""
    return argument.split(" ")


def profile_folder(prefix):
    """C:\\users\\NAME, the one user's profile folder (Wine's layout)."""
    users = [u for u in os.listdir(os.path.join(prefix.path, "drive_c", "users")) if u != "Public"]
    check(len(users) == 1, "profile folders: %s" % users)
    return "C:\\users\\" + users[0]


def main_case(h):
    prefix = h.prefix
    programs = profile_folder(prefix) + "\\AppData\\Local\\Programs"
    default = programs + "\\ZarnoLaunch"

    # Without the game the setup refuses and leaves nothing behind.
    before = prefix.registry()
    status = h.setup("/S")
    check(status == 3, "without the game the setup ended with %d, not 3" % status)
    log = h.log()
    check(INSTALL_FIRST in log and NOT_INSTALLED in log, "the log gives no reason: %r" % log)
    after = prefix.registry()
    check(after == before, "without the game the registry changed: " +
          registry_difference(before, after))
    check(not os.path.exists(prefix.unix(programs)), "without the game %s was left" % programs)

    h.install_game()
    clean = prefix.registry()

    status = h.setup("/S")
    check(status == 0, "the silent setup ended with %d; log: %r" % (status, h.log()))
    tree = prefix.registry()
    h.check_installed(default, tree)
    status, listed = prefix.wine("uninstaller", "--list")
    check(listed.count("|||ZarnoLaunch") == 1, "wine uninstaller --list: %r" % listed)
    link_file = prefix.unix("C:\\links\\play here.zarnok")
    os.makedirs(os.path.dirname(link_file), exist_ok=True)
    with open(link_file, "w") as f:
        f.write("[ZarnoLaunch]\r\nServer=file.open.test:7777\r\n")
    h.open_through_shell("C:\\links\\play here.zarnok", "file.open.test:7777")
    h.open_through_shell("zarnolaunch://link.open.test:7778", "link.open.test:7778")

    # The same setup again: the same folder, one entry.
    status = h.setup("/S")
    check(status == 0, "the second setup ended with %d" % status)
    h.check_installed(default, prefix.registry())
    check(os.listdir(prefix.unix(programs)) == ["ZarnoLaunch"],
          "Programs holds %s" % os.listdir(prefix.unix(programs)))

    # Into another folder: the copy moves there.
    other = "C:\\Other Games\\ZarnoLaunch"
    status = h.setup("/S", *unquoted("/D=" + other))
    check(status == 0, "the setup into %s ended with %d" % (other, status))
    tree = prefix.registry()
    h.check_installed(other, tree)
    check(not os.path.exists(prefix.unix(default)), "the copy in %s was kept" % default)
    h.open_through_shell("zarnolaunch://moved.open.test:1", "moved.open.test:1")

    h.uninstall_quietly(tree)
    after = prefix.registry()
    check(after == clean, "after the uninstall the registry differs: " +
          registry_difference(clean, after))
    check(not os.path.exists(prefix.unix(other)), "%s is still there" % other)
    check("Uninstalled." in h.log(), "the uninstall log: %r" % h.log())

    # As a script uninstalls and waits: with _?= the uninstaller runs in
    # place, returns when it is done, and leaves only itself.
    check(h.setup("/S") == 0, "the setup after the uninstall failed")
    status, _ = prefix.wine(default + "\\uninstall.exe", "/S", *unquoted("_?=" + default))
    check(status == 0, "the uninstaller with _?= ended with %d" % status)
    left = os.listdir(prefix.unix(default)) if os.path.isdir(prefix.unix(default)) else []
    check(left == ["uninstall.exe"], "with _?= the uninstall left %s" % left)
    entry = prefix.export(UNINSTALL)
    check(ENTRY.lower() not in entry, "with _?= the uninstall entry stayed")


def cyrillic_case(h, user):
    prefix = h.prefix
    local = profile_folder(prefix) + "\\AppData\\Local"
    check(os.path.isdir(os.path.join(prefix.path, "drive_c", "users", user)),
          "the profile folder is not named %s" % user)
    h.install_game()
    clean = prefix.registry()
    status = h.setup("/S")
    check(status == 0, "the setup ended with %d; log: %r" % (status, h.log()))
    tree = prefix.registry()
    folder = value(tree, ENTRY, "InstallLocation") or ""
    check(user in folder, "installed in %r" % folder)
    h.check_installed(local + "\\Programs\\ZarnoLaunch", tree)
    h.open_through_shell("zarnolaunch://cyrillic.open.test:7777", "cyrillic.open.test:7777")
    h.uninstall_quietly(tree)
    after = prefix.registry()
    check(after == clean, "after the uninstall the registry differs: " +
          registry_difference(clean, after))
    check(folder and not os.path.exists(prefix.unix(folder)), "%s is still there" % folder)


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
    prefix = Prefix(os.path.join(args.work, "prefix"), args.wine_run, user)
    # The profile folder is the user's: within it, the ANSI code page
    # cannot name it, but the setup, the launcher and the shell must.
    h = Harness(args, prefix)
    try:
        # The first run makes the prefix.
        status, _ = prefix.wine("cmd", "/c", "exit")
        check(status == 0, "the prefix could not be made")
        # Keys that every Windows has and a fresh prefix lacks until something
        # writes below them; nothing takes them away.
        prefix.import_reg("[%s]\r\n\r\n[%s\\MIME\\Database\\Content Type]\r\n"
                          % (UNINSTALL, CLASSES))
        if args.case == "main":
            main_case(h)
        else:
            cyrillic_case(h, user)
    finally:
        prefix.kill()
    if failures:
        print("%d check(s) failed; the prefix is kept in %s" % (len(failures), args.work))
        return 1
    shutil.rmtree(args.work, ignore_errors=True)
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
