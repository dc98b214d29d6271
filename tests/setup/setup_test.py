#!/usr/bin/env python3
"""The Windows setup under Wine, in a fresh prefix with a stand-in game.

"main": the setup without the game, a silent install, a link file and a server
link opened through the shell, the setup again and into another folder, the
quiet uninstall string, a launcher in use, the _?= way of uninstalling, and
the setup again once the game is gone.  "files": other programs' files in the
folder, and an upgrade over 1.0.0.  "failure": a registration that does not
take, with Wine's menu integration on, by the setup and by Scoop.
"elevated": a setup for all users, and its uninstaller run by a standard
user.  "cyrillic": install, a link and uninstall for a user whose profile
folder is named in Cyrillic.  "scoop": Scoop's install, update and uninstall.
The prefix is removed when all passed.
"""
import argparse
import filecmp
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "support"))
from checks import check, failures, start_xvfb  # noqa: E402  (the harnesses' one way to check)
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "i18n"))
from boxes_test import make_locales  # noqa: E402

UNINSTALL_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
UNINSTALL = "HKEY_CURRENT_USER\\" + UNINSTALL_KEY
MACHINE_UNINSTALL = "HKEY_LOCAL_MACHINE\\" + UNINSTALL_KEY
ENTRY = UNINSTALL + "\\ZarnoLaunch"
WINE_SETTINGS = "hkey_current_user\\software\\wine\\"
MACHINE_ENTRY = MACHINE_UNINSTALL + "\\ZarnoLaunch"
UNINSTALLER = "Uninstall ZarnoLaunch.exe"
OURS = sorted(["ZarnoLaunch.exe", UNINSTALLER, "ZarnoLaunch LICENSE.txt", "ZarnoLaunch THIRD-PARTY-NOTICES.txt"])
CLASSES = "HKEY_LOCAL_MACHINE\\Software\\Classes"
GAME = "C:\\Games\\Zarnok\\zarnok.exe"
STRING = r'"((?:[^"\\]|\\.)*)"'
REG_VALUE = re.compile(r'(?:@|%s)=(?:%s|dword:(\w+)|([^:]*):(.*))$' % (STRING, STRING))



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


def reg_sz(text):
    """TEXT as the data of a string value in a .reg file."""
    return text.replace("\\", "\\\\").replace('"', '\\"')


def windows(path):
    """The Windows name of a Linux path, through Wine's drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


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
        # Wine's menu integration writes to the Linux user's data folders.
        home = os.path.join(args.work, "home")
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEARCH="win32", WINEDEBUG="-all",
                        LC_ALL="C.UTF-8", ZARNOK_RECORD="Z:" + self.record.replace("/", "\\"),
                        HOME=home, XDG_DATA_HOME=home + "/.local/share",
                        XDG_CONFIG_HOME=home + "/.config")
        if user:
            # Wine names the profile folder after $USER when it makes the prefix.
            self.env["USER"] = self.env["LOGNAME"] = user

    def command(self, args, display=None, menus=False):
        """The command line that runs ARGS under Wine.  The tests' own runner
        turns Wine's menu integration off and runs without a display; with
        MENUS, or on DISPLAY, Wine runs as a player's does."""
        if not (menus or display):
            return ["sh", self.args.wine_run, self.path, *args], self.env
        env = dict(self.env, WINEDLLOVERRIDES="mscoree,mshtml=")
        env.pop("WAYLAND_DISPLAY", None)
        if display:
            env["DISPLAY"] = display
        else:
            env.pop("DISPLAY", None)
        return ["wine", *args], env

    def wine(self, *args, display=None, menus=False):
        """Runs ARGS under Wine; returns the exit status and the output.  The
        output goes to a file, not a pipe: Wine's own processes that the
        program starts (the desktop) inherit it and may outlive it."""
        command, env = self.command(args, display, menus)
        with tempfile.TemporaryFile() as out:
            status = subprocess.run(command, env=env, stdout=out, stderr=subprocess.DEVNULL,
                                    timeout=120).returncode
            out.seek(0)
            return status, out.read().decode("utf-8", "replace")

    def probe(self, *args, display=None):
        """Starts the Windows probe of these tests; see tests/support/windows_probe.cpp."""
        command, env = self.command([self.args.probe, *args], display)
        return subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def prepare(self):
        """Makes the prefix, as a first run does."""
        check(self.wine("cmd", "/c", "exit")[0] == 0, "the prefix could not be made")
        # Keys that every Windows has and a fresh prefix lacks until something
        # writes below them; nothing takes them away.
        self.import_reg("[%s]\r\n\r\n[%s]\r\n\r\n[%s\\MIME\\Database\\Content Type]\r\n\r\n"
                        "[%s\\Applications]\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\RegisteredApplications]\r\n"
                        % (UNINSTALL, MACHINE_UNINSTALL, CLASSES, CLASSES))

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
        """Checks that the registry is as BEFORE, but for Wine's own settings,
        which its menu builder and desktop keep."""
        after = self.registry()
        diff = ["%s: %r -> %r" % (k, before.get(k), after.get(k))
                for k in sorted(set(before) | set(after))
                if before.get(k) != after.get(k) and not k.startswith(WINE_SETTINGS)]
        check(not diff, "%s the registry differs: %s" % (what, "; ".join(diff[:6])))

    def import_reg(self, text):
        path = self.unix("C:\\import.reg")
        with open(path, "wb") as f:
            f.write(("\ufeffWindows Registry Editor Version 5.00\r\n\r\n" + text).encode("utf-16-le"))
        status, _ = self.wine("regedit", "/s", "C:\\import.reg")
        os.remove(path)
        return status

    def setup(self, *options, menus=False):
        return self.wine(windows(self.args.setup), *options, menus=menus)[0]

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
        status = self.import_reg('[HKEY_CLASSES_ROOT\\Zarnok\\shell\\open\\command]\r\n@="%s"\r\n'
                                 % reg_sz('"%s" "%%1"' % GAME))
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

    def install(self, folder, *options, entry=ENTRY, others=()):
        """Runs the setup silently and checks the files, registration and
        uninstall ENTRY of the copy in FOLDER, which also holds the files
        OTHERS of other programs; returns the registry."""
        status = self.setup("/S", *options)
        check(status == 0, "the setup into %s ended with %d; log: %r" % (folder, status, self.log()))
        tree = self.registry()
        exe, uninstaller = folder + "\\ZarnoLaunch.exe", folder + "\\" + UNINSTALLER
        check(self.files(folder) == sorted([*OURS, *others]),
              "%s holds %s" % (folder, self.files(folder)))
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
        check(tree.get(entry.lower()) == want,
              "the uninstall entry is %r, not %r" % (tree.get(entry.lower()), want))
        # One entry, whatever its key, the user's or the machine's.
        entries = [k for k, v in tree.items()
                   if k.startswith((UNINSTALL.lower() + "\\", MACHINE_UNINSTALL.lower() + "\\"))
                   and v.get("displayname", (None, None))[1] == "ZarnoLaunch"]
        check(len(entries) == 1, "uninstall entries: %s" % entries)
        return tree

    def files(self, folder):
        """The names in FOLDER, sorted; None when there is no such folder."""
        unix = self.unix(folder)
        return sorted(os.listdir(unix)) if os.path.isdir(unix) else None

    def uninstall(self, tree, clean, folder, entry=ENTRY, others=()):
        """Runs the quiet uninstall string of TREE as Settings > Apps does and
        checks that the registry is CLEAN again and FOLDER gone, or left with
        OTHERS only.  The waiting is needed because the uninstaller hands over
        to a copy of itself in the temporary folder and returns at once."""
        command = tree.get(entry.lower(), {}).get("quietuninstallstring", (None, ""))[1]
        if check(command.startswith('"'), "no quiet uninstall string: %r" % command):
            program, rest = command[1:].split('"', 1)
            status, _ = self.wine(program, *rest.split())
            check(status == 0, "the uninstaller ended with %d" % status)
            self.wineserver("-w", 300)
        self.check_registry(clean, "after the uninstall")
        left = self.files(folder)
        check(left == (sorted(others) if others else None), "after the uninstall %s holds %s"
              % (folder, left))
        check("Uninstalled." in self.log(), "the uninstall log: %r" % self.log())


def main_case(h):
    programs = h.profile() + "\\AppData\\Local\\Programs"
    default = programs + "\\ZarnoLaunch"

    # Without the game the setup refuses before it unpacks anything.
    before = h.registry()
    status = h.setup("/S")
    check(status == 3, "without the game the setup ended with %d, not 3" % status)
    log = h.log()
    check("Install Zarnok first, then run this setup again." in log and
          "Zarnok is not properly installed!  Please reinstall Zarnok." in log,
          "the log gives no reason: %r" % log)
    h.check_registry(before, "without the game")
    check(not os.path.exists(h.unix(programs)), "without the game %s was left" % programs)
    temp = h.files(h.profile() + "\\Temp")
    check(temp == ["ZarnoLaunch-setup.log"], "without the game the temporary folder holds %s" % temp)

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
    # The licence and the notices beside the launcher, as the project has them.
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    for name in ("LICENSE", "THIRD-PARTY-NOTICES"):
        with open(h.unix(default + "\\ZarnoLaunch %s.txt" % name), "rb") as installed, \
                open(os.path.join(source, name), "rb") as ours:
            check(installed.read() == ours.read(), "the installed %s is not the project's" % name)

    # While the launcher runs, neither the setup nor the uninstaller changes
    # anything.
    before = h.registry()
    release = os.path.join(h.args.work, "release")
    held = h.probe("hold", default + "\\ZarnoLaunch.exe", windows(release))
    check(held.stdout.readline().strip() == b"held", "the launcher could not be started")
    for what, options in [("setup", ["/S"]), ("uninstaller", ["/S", *unquoted("_?=" + default)])]:
        program = windows(h.args.setup) if what == "setup" else default + "\\" + UNINSTALLER
        status, _ = h.wine(program, *options)
        check(status == 2, "the %s ended with %d while the launcher ran" % (what, status))
        check("ZarnoLaunch.exe is in use." in h.log(), "the %s's log: %r" % (what, h.log()))
        h.check_registry(before, "after the %s while the launcher ran" % what)
        check(h.files(default) == OURS,
              "after the %s while the launcher ran %s holds %s" % (what, default, h.files(default)))
    open(release, "w").close()
    check(held.wait(60) == 0, "the launcher was not held to the end")

    # Into another folder: the copy moves there.
    other = "C:\\Other Games\\ZarnoLaunch"
    tree = h.install(other, *unquoted("/D=" + other))
    check(not os.path.exists(h.unix(default)), "the copy in %s was kept" % default)
    h.open_through_shell("zarnolaunch://moved.open.test:1", "moved.open.test:1")
    h.uninstall(tree, clean, other)

    # As a script uninstalls and waits: with _?= the uninstaller runs in
    # place, returns when it is done, and leaves only itself.
    check(h.setup("/S") == 0, "the setup after the uninstall failed")
    status, _ = h.wine(default + "\\" + UNINSTALLER, "/S", *unquoted("_?=" + default))
    check(status == 0, "the uninstaller with _?= ended with %d" % status)
    check(h.files(default) == [UNINSTALLER], "with _?= the uninstall left %s" % h.files(default))
    check(ENTRY.lower() not in h.export(UNINSTALL), "with _?= the uninstall entry stayed")

    # Installed again, then the game goes: the setup ends as without it, and
    # the installed copy stays as it was.
    os.remove(h.unix(default + "\\" + UNINSTALLER))
    h.install(default)
    os.remove(h.unix(GAME))
    before = h.registry()
    status = h.setup("/S")
    check(status == 3, "with the game gone the setup ended with %d, not 3" % status)
    check("Can't find Zarnok on your system!" in h.log(), "the log gives no reason: %r" % h.log())
    h.check_registry(before, "with the game gone")
    check(h.files(default) == OURS,
          "with the game gone %s holds %s" % (default, h.files(default)))


def files_case(h):
    h.install_game()
    clean = h.registry()

    # A file of another program under one of our names: the setup ends
    # before it writes anything, and names the file.
    tools = "C:\\Tools\\ZarnoLaunch"
    os.makedirs(h.unix(tools))
    for name in ("ZarnoLaunch.exe", UNINSTALLER):
        path = h.unix(tools + "\\" + name)
        with open(path, "wb") as f:
            f.write(b"another program")
        status = h.setup("/S", *unquoted("/D=" + tools))
        check(status == 2, "over another program's %s the setup ended with %d" % (name, status))
        check(tools + "\\" + name in h.log(), "the log does not name %s: %r" % (name, h.log()))
        h.check_registry(clean, "over another program's %s" % name)
        with open(path, "rb") as f:
            check(h.files(tools) == [name] and f.read() == b"another program",
                  "over another program's %s the folder holds %s" % (name, h.files(tools)))
        os.remove(path)

    # The game's own folder, with the game's own uninstall.exe: it stays.
    folder = "C:\\Games\\Zarnok"
    theirs = ["uninstall.exe", "zarnok.exe"]
    with open(h.unix(folder + "\\uninstall.exe"), "wb") as f:
        f.write(b"the game's uninstaller")
    tree = h.install(folder, *unquoted("/D=" + folder), others=theirs)
    h.uninstall(tree, clean, folder, others=theirs)
    with open(h.unix(folder + "\\uninstall.exe"), "rb") as f:
        check(f.read() == b"the game's uninstaller", "the game's uninstall.exe was changed")

    # What 1.0.0 left: its files, its registration and its entry, which named
    # its uninstaller uninstall.exe.  The upgrade removes that one.
    old = h.profile() + "\\AppData\\Local\\Programs\\ZarnoLaunch"
    os.makedirs(h.unix(old))
    shutil.copy(h.args.launcher, h.unix(old + "\\ZarnoLaunch.exe"))
    shutil.copy(h.args.game, h.unix(old + "\\uninstall.exe"))
    h.wine(old + "\\ZarnoLaunch.exe", "-quiet", "-install")
    h.import_reg('[%s]\r\n"DisplayName"="ZarnoLaunch"\r\n"InstallLocation"="%s"\r\n'
                 '"UninstallString"="%s"\r\n' % (ENTRY, reg_sz(old), reg_sz('"%s\\uninstall.exe"' % old)))
    tree = h.install(old)
    h.uninstall(tree, clean, old)


def failure_case(h):
    """A registration that fails after the files are in place: the setup
    takes everything back.  Wine's menu integration is on, as for a player:
    the menu builder, which the launcher starts when file associations
    change, must not keep the folder.  The player's display language is
    German: the launcher's English lines stay, and it gives the setup the
    text in German, which is what the setup shows."""
    locales = os.path.join(h.args.work, "locales")
    make_locales(locales, ["de_DE.UTF-8"])
    h.env.update(LC_ALL="de_DE.UTF-8", LOCPATH=locales)
    programs = h.profile() + "\\AppData\\Local\\Programs"
    h.install_game()
    # Navigator's key, volatile: "-install" cannot write below it.  It lasts
    # as long as this wineserver.
    h.wineserver("-w", 60)
    h.wineserver("-p", 60)
    check(h.probe("volatile", "Software\\Netscape\\Netscape Navigator").wait(60) == 0,
          "the volatile key could not be made")
    before = h.registry()
    status = h.setup("/S", menus=True)
    check(status == 2, "a registration that failed ended the setup with %d, not 2" % status)
    check("Alert text:  ZarnoLaunch could not register itself" in h.log() and
          "Shown text:  ZarnoLaunch konnte sich nicht registrieren" in h.log() and
          "Setup failed: the registration did not take." in h.log(),
          "the log gives no reason: %r" % h.log())
    check(not os.path.exists(h.unix(programs)), "the failed setup left %s" % programs)
    h.check_registry(before, "after the failed setup")
    said = scoop(h, "install", "1.0.0")
    check(said.startswith("ZarnoLaunch konnte sich nicht registrieren"), "Scoop's install said %r" % said)
    h.check_registry(before, "after the failed Scoop install")


def elevated_case(h):
    """Started elevated, the setup installs for all users.  Under Wine every
    process holds an administrator's full token, but User Account Control is
    off (EnableLUA 0), as it is for the other cases; here it is on, as on
    Windows."""
    h.install_game()
    h.import_reg('[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies'
                 '\\System]\r\n"EnableLUA"=dword:00000001\r\n')
    clean = h.registry()
    folder = "C:\\Program Files\\ZarnoLaunch"
    tree = h.install(folder, entry=MACHINE_ENTRY)
    check("Installing for all users." in h.log(), "the log: %r" % h.log())
    h.open_through_shell("zarnolaunch://elevated.open.test:7777", "elevated.open.test:7777")
    # A standard user's uninstall asks for an administrator's rights through
    # "runas"; under Wine the run it starts holds the same limited token, and
    # says what the player reads when they are not given.  Its box needs a
    # display, which Wine's processes take from the wineserver's first.
    before = h.registry()
    h.wineserver("-k", 60)
    xvfb, display = start_xvfb()
    box = h.probe("limited", "ZarnoLaunch %s Uninstall" % h.args.version, folder + "\\" + UNINSTALLER,
                  *unquoted("_?=" + folder), display=display)
    said = box.communicate(timeout=120)[0].decode("utf-8", "replace") + h.log()
    h.wineserver("-k", 60)
    xvfb.terminate()
    xvfb.wait(30)
    check(box.returncode == 2 and all(text in said for text in (
        "needs an administrator's permission, and it was not given.", "Asking for an administrator's rights.",
        "still without an administrator's")), "a standard user's uninstall: %d, %r" % (box.returncode, said))
    h.check_registry(before, "after a standard user's uninstall")
    check(h.files(folder) == OURS, "after a standard user's uninstall %s holds %s" % (folder, h.files(folder)))
    h.uninstall(tree, clean, folder, entry=MACHINE_ENTRY)


def cyrillic_case(h):
    # The ANSI code page cannot name this profile folder, but the setup, the
    # launcher and the shell must.
    check(h.profile() == "C:\\users\\" + CYRILLIC_USER, "the profile folder is %s" % h.profile())
    h.install_game()
    clean = h.registry()
    folder = h.profile() + "\\AppData\\Local\\Programs\\ZarnoLaunch"
    tree = h.install(folder)
    h.open_through_shell("zarnolaunch://cyrillic.open.test:7777", "cyrillic.open.test:7777")
    h.uninstall(tree, clean, folder)


def scoop(h, command, version=None):
    """Runs "scoop COMMAND" as Scoop runs its manifest's scripts (the release
    test reads them), a symbolic link standing in for the junction "current";
    returns what post_install fails with, in the player's language, or ""."""
    apps = h.profile() + "\\scoop\\apps\\zarnolaunch"
    exe, log = apps + "\\current\\ZarnoLaunch.exe", h.unix(h.profile() + "\\Temp\\ZarnoLaunch-scoop.log")
    if command == "uninstall":
        check(h.wine(exe, "-quiet", "-uninstall")[0] == 0, "the uninstaller script failed")
        shutil.rmtree(h.unix(apps))
        return ""
    if command == "update":
        os.remove(h.unix(apps + "\\current"))
    os.makedirs(h.unix(apps + "\\" + version))
    shutil.copy(h.args.launcher, h.unix(apps + "\\" + version + "\\ZarnoLaunch.exe"))
    os.symlink(version, h.unix(apps + "\\current"))
    if os.path.exists(log):
        os.remove(log)
    h.wine(exe, "-quiet", "-logfile", windows(log), "-install")
    text = open(log, encoding="utf-8").read() if os.path.exists(log) else ""
    english, _, shown = text.split("Alert text:  ")[-1].partition("\nShown text:  ")
    if "Alert text:  " in text and english.split("\n")[0] == "ZarnoLaunch installed successfully!":
        return ""
    h.wine(exe, "-quiet", "-uninstall")
    return (shown or english).strip()


def scoop_case(h):
    """Installed and updated, the registration names "current"; uninstalled,
    nothing, as after "-uninstall" from the version's own folder."""
    h.install_game()
    clean = h.registry()
    apps = h.profile() + "\\scoop\\apps\\zarnolaunch"
    for command, version in [("install", "1.0.0"), ("update", "1.0.1"), ("uninstall", None),
                             ("install", "1.0.1")]:
        said = scoop(h, command, version)
        check(said == "", "scoop %s failed: %r" % (command, said))
        if version:
            got = h.registry().get((CLASSES + "\\ZarnoLaunch\\shell\\open\\command").lower(), {}).get("")
            check(got == ("sz", '"%s\\current\\ZarnoLaunch.exe" "%%1"' % apps),
                  "after scoop %s the open command is %r" % (command, got))
            h.open_through_shell("zarnolaunch://scoop.open.test:1", "scoop.open.test:1")
        else:
            h.check_registry(clean, "after scoop uninstall")
    check(h.wine(apps + "\\1.0.1\\ZarnoLaunch.exe", "-quiet", "-uninstall")[0] == 0, "-uninstall failed")
    h.check_registry(clean, "after -uninstall from the version's folder")


CYRILLIC_USER = "Сергей"
CASES = {"main": main_case, "files": files_case, "failure": failure_case,
         "elevated": elevated_case, "cyrillic": cyrillic_case, "scoop": scoop_case}


def arguments(parser, *more):
    """The options of this group's runs, and MORE; the work folder is made
    afresh."""
    for option in ("setup", "launcher", "game", "probe", "wine-run", "work", "version", *more):
        parser.add_argument("--" + option, required=True)
    args = parser.parse_args()
    args.work = os.path.abspath(args.work)
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    return args


def verdict(work):
    """The exit status of the run; the WORK folder goes when all passed."""
    if failures:
        print("%d check(s) failed; the prefix is kept in %s" % (len(failures), work))
        return 1
    shutil.rmtree(work, ignore_errors=True)
    print("all checks passed")
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=list(CASES))
    args = arguments(parser)
    h = Harness(args, CYRILLIC_USER if args.case == "cyrillic" else None)
    try:
        h.prepare()
        CASES[args.case](h)
    finally:
        h.wineserver("-k", 60)
    return verdict(args.work)


if __name__ == "__main__":
    sys.exit(main())
