#!/usr/bin/python3
"""browser_test.py LAUNCHER GAME JOIN_PAGE: served pages in real browsers.

nginx and Apache serve a page configured with the lines of
docs/operators.md in each place it names, and the join page as the build
made it.  Headless Chromium (chromedriver) and Firefox ESR (its Marionette
port: Debian has no geckodriver) click their links, which go through the
desktop (xdg-open or GIO) to the launcher and the stand-in game.
The game's record says what it was given, and a recorder in the launcher's
place says what the desktop handed the launcher.  Last, a sandboxed browser:
from inside bwrap, as a Flatpak app, a link and a download go to the desktop
portal (xdg-desktop-portal with its GTK backend, on a session bus of the
test's own, under Xvfb), which hands them to the launcher.  All in a private
HOME; every server, browser and driver binds 127.0.0.1; every process is
ended by its own id.
"""
import glob
import html
import json
import os
import re
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

BUILT_LAUNCHER, GAME, JOIN_PAGE = sys.argv[1:4]
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, SOURCE + "/cmake")
import translations  # noqa: E402  the project's reader of resources/po
ZARNOK_TYPE = "application/zarnolaunch"
# The two lines of docs/operators.md, to copy.
NGINX_LINE = "types { application/zarnolaunch zarnok; }"
APACHE_LINE = "AddType application/zarnolaunch .zarnok"

# The page, the id of the link clicked there (index.html has an anchor to
# href for each of its rows), what the desktop must hand the launcher (one
# argument), what the game must be given.  The crafted link puts a quote and
# blanks after a "/" so that browsers hand it over rather than refuse it; its
# port is not 1, which Firefox refuses as a banned port.  Both browsers
# percent-encode the quote and the blanks, and the desktop hands the link
# over as one argument, so the option in it stays part of the link.
LINKS = [
    ("index.html", "server", "zarnolaunch://alpha.beta.gamma:7777", "zarnolaunch://alpha.beta.gamma:7777",
     ["alpha.beta.gamma:7777"]),
    ("index.html", "file", "server.zarnok", "{downloads}/server.zarnok", ["delta.epsilon.zeta:1234"]),
    ("index.html", "crafted", 'zarnolaunch://a.b.c:7777/" -logfile "{smuggled}',
     "zarnolaunch://a.b.c:7777/%22%20-logfile%20%22{smuggled}", ["a.b.c:7777"]),
    # The join page's button and the link file it makes, for the address
    # trimmed, from its fragment and from ?server=.
    ("join.html#zarnok://delta.epsilon.zeta:1234/welcome", "join-link", None,
     "zarnolaunch://delta.epsilon.zeta:1234", ["delta.epsilon.zeta:1234"]),
    ("join.html?server=+eta.theta.iota:4321+now", "link-file", None, "{downloads}/eta.theta.iota_4321.zarnok",
     ["eta.theta.iota:4321"]),
]
# A player's browser on the join page: its user agent and languages, the
# system whose instructions come first, the translation it shows ("" for
# English).
VISITORS = [
    ("Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 Chrome/130.0", "de-AT,de", "windows", "de"),
    ("Mozilla/5.0 (X11; Ubuntu; Linux x86_64; rv:128.0) Firefox/128.0", "pt-PT,en", "debian", "pt_BR"),
    ("Mozilla/5.0 (X11; Fedora; Linux x86_64; rv:128.0) Firefox/128.0", "zh-TW,ja", "fedora", "ja"),
    ("Mozilla/5.0 (X11; Arch Linux; Linux x86_64; rv:128.0) Firefox/128.0", "ru", "arch", "ru"),
    ("Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 Chrome/130.0", "en-GB,fr", "portable", ""),
    ("Mozilla/5.0 (Linux; Android 14; Pixel 8) Chrome/130.0 Mobile", "zh-CN", "unsupported", "zh_CN"),
]
LINK_FILE = "[ZarnoLaunch]\nServer=delta.epsilon.zeta:1234\n"

# Where a line of docs/operators.md goes, and the Content-Type the page and
# the link file then get.  The last row of each server is its warning: the line
# alone in an nginx server block drops every inherited type, and an Apache
# .htaccess line is ignored unless AllowOverride takes FileInfo.  The last
# column: whether the link file gets ZARNOK_TYPE.
SITES = [
    ("nginx", "http block", "text/html", True),
    ("nginx", "server block after include mime.types", "text/html", True),
    ("nginx", "server block alone", "application/octet-stream", True),
    ("apache", "server config", "text/html", True),
    ("apache", "virtual host", "text/html", True),
    ("apache", ".htaccess with AllowOverride FileInfo", "text/html", True),
    ("apache", ".htaccess with AllowOverride None", "text/html", False),
]

failures = []
started = []  # every process this run started, ended in reverse order


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def wait_for(condition, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if condition():
            return True
        time.sleep(0.05)
    return condition()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start(argv, log, output=None):
    """Starts a process whose standard error (and output, unless `output` is
    given, a pipe say) goes to log."""
    # A session of its own, so that helpers it leaves behind go with it.
    p = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=output or log, stderr=log,
                         start_new_session=True, text=True)
    started.append(p)
    return p


def end(p):
    p.terminate()
    try:
        p.wait(15)
    except subprocess.TimeoutExpired:
        pass
    try:
        os.killpg(p.pid, signal.SIGKILL)  # it, if still there, and what it left in its session
    except ProcessLookupError:
        pass
    p.wait(5)


def end_all():
    for p in reversed(started):
        end(p)


def read_record(record):
    """The arguments written to a record, or None when none was written."""
    try:
        data = open(record, "rb").read().decode()
    except FileNotFoundError:
        return None
    args = []
    while data:
        length, rest = data.split(":", 1)
        args.append(rest[:int(length)])
        data = rest[int(length) + 1:]
    return args


def load(browser, page):
    """Opens the origin's page, which replaces the one shown (a page of its
    own, not a move within it), and waits until its script has run."""
    browser.run("window.replaced = true")
    # Through a blank page: a page that differs only in its fragment from
    # the one shown would be a move within that one.
    browser.navigate("about:blank")
    browser.navigate(browser.origin + "/" + page)

    def loaded():
        try:
            return browser.run("return !window.replaced && location.origin == arguments[0] &&"
                               " document.readyState == 'complete'", browser.origin)
        except Exception:  # between two pages
            return False
    if not wait_for(loaded, 30):
        raise RuntimeError(f"{page} did not load")


def follow(browser, page, link, desktop, seconds):
    """Clicks the link on the page; returns what the launcher and the game
    were given, and the time the game's record took to come."""
    load(browser, page)
    desktop.clear()
    t = time.monotonic()
    browser.click(link)
    wait_for(lambda: os.path.exists(desktop.game_record), seconds)
    return desktop.handed(), read_record(desktop.game_record), time.monotonic() - t


def content_type(url):
    try:
        with urllib.request.urlopen(url, timeout=10) as r:
            return r.headers.get_content_type()
    except urllib.error.URLError:
        return "unreachable"


def write(path, text):
    with open(path, "w") as f:
        f.write(text)


def read_text(path):
    """The file's text; empty when there is no such file."""
    try:
        with open(path) as f:
            return f.read()
    except FileNotFoundError:
        return ""


def nginx_config(work, sites):
    servers = []
    for place, port, root in sites:
        own = {"http block": "",
               "server block after include mime.types": "include /etc/nginx/mime.types; " + NGINX_LINE,
               "server block alone": NGINX_LINE}[place]
        servers.append(f"  server {{ listen 127.0.0.1:{port}; root {root}; {own} }}\n")
    temps = "".join(f"  {kind}_temp_path {work}/{kind};\n"
                    for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
    return (f"daemon off;\nmaster_process off;\npid {work}/nginx.pid;\nerror_log {work}/error.log;\n"
            f"events {{ worker_connections 64; }}\n"
            f"http {{\n  access_log off;\n{temps}"
            f"  include /etc/nginx/mime.types;\n  default_type application/octet-stream;\n"
            f"  {NGINX_LINE}\n{''.join(servers)}}}\n")


def apache_config(work, sites, top_level):
    mods = "".join(f"LoadModule {m}_module /usr/lib/apache2/modules/mod_{m}.so\n"
                   for m in ("mpm_event", "authz_core", "mime"))
    text = (f"ServerRoot {work}\nDefaultRuntimeDir {work}\nPidFile {work}/httpd.pid\n"
            f"ErrorLog {work}/error.log\nServerName 127.0.0.1\n{mods}TypesConfig /etc/mime.types\n")
    if os.getuid() == 0:
        text += "User www-data\nGroup www-data\n"
    if top_level:
        text += APACHE_LINE + "\n"
    for place, port, root in sites:
        override = "FileInfo" if place == ".htaccess with AllowOverride FileInfo" else "None"
        own = APACHE_LINE if place == "virtual host" else ""
        text += (f"Listen 127.0.0.1:{port}\n<VirtualHost 127.0.0.1:{port}>\n  DocumentRoot {root}\n"
                 f"  <Directory {root}>\n    Require all granted\n    AllowOverride {override}\n"
                 f"  </Directory>\n  {own}\n</VirtualHost>\n")
        if place.startswith(".htaccess"):
            write(root + "/.htaccess", APACHE_LINE + "\n")
    return text


def start_servers(top, page):
    """Starts every server of SITES; returns {(server, place): origin}."""
    os.makedirs(top + "/logs")
    origins, groups = {}, {}
    for server, place, _, _ in SITES:
        port = free_port()
        root = f"{top}/sites/{server}-{len(origins)}"
        os.makedirs(root)
        write(root + "/index.html", page)
        shutil.copy(JOIN_PAGE, root + "/join.html")
        write(root + "/server.zarnok", LINK_FILE)
        origins[(server, place)] = f"http://127.0.0.1:{port}"
        # The line in Apache's server config applies to every site of that
        # server, so that row gets an Apache of its own.
        group = "apache-top" if place == "server config" else server
        groups.setdefault(group, []).append((place, port, root))
    for group, sites in groups.items():
        work = f"{top}/{group}"
        os.makedirs(work)
        if group == "nginx":
            config = nginx_config(work, sites)
            argv = ["nginx", "-e", work + "/error.log", "-p", work, "-c", work + "/server.conf"]
        else:
            config = apache_config(work, sites, group == "apache-top")
            argv = ["apache2", "-f", work + "/server.conf", "-DFOREGROUND"]
        write(work + "/server.conf", config)
        p = start(argv, open(f"{top}/logs/{group}.log", "w"))
        port = sites[0][1]
        if not wait_for(lambda: p.poll() is not None or content_type(
                f"http://127.0.0.1:{port}/index.html") != "unreachable", 15) or p.poll() is not None:
            raise RuntimeError(f"{group} did not start; see {top}/logs and {work}/error.log")
    return origins


class Chromium:
    """Headless Chromium through chromedriver; links go out through xdg-open."""
    server = ("nginx", "http block")

    def __init__(self, top, origin, downloads):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        profile = top + "/chromium-profile"
        os.makedirs(profile + "/Default")
        # What a player's choices write into a fresh profile: "Always allow
        # <origin> to open links of this type in the associated app" in the
        # "Open ZarnoLaunch?" dialog is this origin's entry under
        # protocol_handler, and "Always open files of this type" on a
        # download is the extension under download.extensions_to_open.
        # Without them the link waits for a dialog that headless Chromium
        # never shows, and the file is only saved.
        prefs = {"protocol_handler": {"allowed_origin_protocol_pairs": {origin: {"zarnolaunch": True}}},
                 "download": {"default_directory": downloads, "prompt_for_download": False,
                              "extensions_to_open": "zarnok"}}
        write(profile + "/Default/Preferences", json.dumps(prefs))
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/lib/chromium/chromium"
        # As root Chromium needs --no-sandbox; the rest keeps it from
        # reaching for a network this machine does not have.
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--user-data-dir=" + profile):
            options.add_argument(flag)
        service = Service("/usr/bin/chromedriver", log_path=top + "/logs/chromedriver.log")
        self.driver = webdriver.Chrome(service=service, options=options)
        self.driver.set_page_load_timeout(30)
        self.origin = origin
        self.driver.get(origin + "/index.html")

    def navigate(self, url):
        self.driver.get(url)

    def run(self, script, *args):
        return self.driver.execute_script(script, *args)

    def emulate(self, agent, languages):
        self.driver.execute_cdp_cmd("Network.setUserAgentOverride",
                                    {"userAgent": agent, "acceptLanguage": languages})

    def click(self, link):
        from selenium.webdriver.common.by import By
        self.driver.find_element(By.ID, link).click()

    def picture(self, path, width, height, scheme):
        """The page as a player sees it in a window of that size and colour
        scheme, to a PNG file (docs/pictures.sh)."""
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": width < 600})
        self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
            "features": [{"name": "prefers-color-scheme", "value": scheme}]})
        self.driver.save_screenshot(path)
        self.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
        self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})

    def close(self):
        self.driver.quit()


class Firefox:
    """Headless Firefox ESR through Marionette; links go out through GIO."""
    server = ("apache", ".htaccess with AllowOverride FileInfo")

    def __init__(self, top, origin, downloads):
        profile = top + "/firefox-profile"
        os.makedirs(profile)
        port = free_port()
        prefs = {"marionette.port": port, "browser.shell.checkDefaultBrowser": False,
                 "browser.download.dir": downloads, "browser.download.folderList": 2,
                 "browser.download.useDownloadDir": True,
                 "datareporting.policy.dataSubmissionEnabled": False, "app.update.enabled": False}
        write(profile + "/user.js", "".join(f'user_pref("{k}", {json.dumps(v)});\n' for k, v in prefs.items()))
        # "Always Open Similar Files" on a download: the type is handed to
        # the desktop's default (action 4) without asking.  The scheme needs
        # no entry: with the permission below and a default application
        # known to GIO, Firefox asks nothing more.  (Without "schemes" the
        # file does not load.)
        write(profile + "/handlers.json", json.dumps({
            "defaultHandlersVersion": {}, "isDownloadsImprovementsAlreadyMigrated": True,
            "mimeTypes": {ZARNOK_TYPE: {"action": 4, "ask": False, "extensions": ["zarnok"]}}, "schemes": {}}))
        # "Always allow <host> to open zarnolaunch links" in the dialog "Allow
        # this site to open the zarnolaunch link with ZarnoLaunch?" is this
        # origin's permission in permissions.sqlite.  Firefox keeps the file
        # only if it has all of its tables and schema version.
        db = sqlite3.connect(profile + "/permissions.sqlite")
        db.executescript(
            "CREATE TABLE moz_perms (id INTEGER PRIMARY KEY, origin TEXT, type TEXT, permission INTEGER,"
            " expireType INTEGER, expireTime INTEGER, modificationTime INTEGER);"
            "CREATE TABLE moz_hosts (id INTEGER PRIMARY KEY, host TEXT, type TEXT, permission INTEGER,"
            " expireType INTEGER, expireTime INTEGER, modificationTime INTEGER, isInBrowserElement INTEGER);"
            "CREATE TABLE moz_origin_interactions (origin TEXT PRIMARY KEY, lastInteractionTime INTEGER);"
            "PRAGMA user_version = 13;"
            "INSERT INTO moz_perms (origin, type, permission, expireType, expireTime, modificationTime)"
            f" VALUES ('{origin}', 'open-protocol-handler^zarnolaunch', 1, 0, 0, {int(time.time() * 1000)});")
        db.close()
        # System access lets the test set preferences, as about:config does.
        self.process = start(["firefox-esr", "--headless", "--no-remote", "--marionette",
                              "-remote-allow-system-access", "--profile", profile, "about:blank"],
                             open(top + "/logs/firefox.log", "w"))
        end = time.monotonic() + 60
        while True:
            try:
                self.socket = socket.create_connection(("127.0.0.1", port), timeout=1)
                break
            except OSError:
                if self.process.poll() is not None or time.monotonic() > end:
                    raise RuntimeError("Firefox's Marionette port did not open")
                time.sleep(0.05)
        self.socket.settimeout(60)
        self.stream = self.socket.makefile("rb")
        self.serial = 0
        self._receive()  # the greeting
        # Clicks return at once rather than waiting for a page that a
        # handed-over link never loads.
        self.command("WebDriver:NewSession", {"capabilities": {"alwaysMatch": {
            "pageLoadStrategy": "none", "timeouts": {"implicit": 15000}}}})
        self.origin = origin
        self.navigate(origin + "/index.html")

    def navigate(self, url):
        self.command("WebDriver:Navigate", {"url": url})

    def run(self, script, *args, context="content"):
        self.command("Marionette:SetContext", {"value": context})
        return self.command("WebDriver:ExecuteScript", {"script": script, "args": list(args)})["value"]

    def emulate(self, agent, languages):
        self.run("Services.prefs.setStringPref('general.useragent.override', arguments[0]);"
                 "Services.prefs.setStringPref('intl.accept_languages', arguments[1]);", agent, languages,
                 context="chrome")

    def _receive(self):
        length = b""
        while not length.endswith(b":"):
            byte = self.stream.read(1)
            if not byte:
                raise RuntimeError("Marionette closed the connection")
            length += byte
        return json.loads(self.stream.read(int(length[:-1])))

    def command(self, name, parameters):
        self.serial += 1
        data = json.dumps([0, self.serial, name, parameters]).encode()
        self.socket.sendall(b"%d:%s" % (len(data), data))
        _, _, error, result = self._receive()
        if error:
            raise RuntimeError(f"{name}: {error}")
        return result

    def click(self, link):
        element = self.command("WebDriver:FindElement", {"using": "css selector", "value": "#" + link})
        # A pointer's press and release, as a player's click: unlike
        # ElementClick it does not wait for a navigation that never comes.
        self.command("WebDriver:PerformActions", {"actions": [{
            "type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"},
            "actions": [{"type": "pointerMove", "origin": element["value"], "x": 0, "y": 0},
                        {"type": "pointerDown", "button": 0}, {"type": "pointerUp", "button": 0}]}]})

    def close(self):
        try:
            self.command("Marionette:Quit", {"flags": ["eForceQuit"]})
        except (OSError, RuntimeError):
            pass
        self.process.wait(30)


# Writes its arguments down as the game does (length in bytes, colon,
# bytes, line end; renamed into place whole) and runs PROGRAM, if any, with
# them.
RECORDER = """#!/bin/sh
export LC_ALL=C
for arg; do printf '%s:%s\\n' "${{#arg}}" "$arg"; done > '{record}.part' && mv '{record}.part' '{record}'
{run}
"""


def write_recorder(path, record, program=None):
    write(path, RECORDER.format(record=record, run=f"exec '{program}' \"$@\"" if program else ""))
    os.chmod(path, 0o755)


class Desktop:
    """The launcher as the desktop knows it, in the private HOME.  The
    registered program is a copy of the launcher, where the launcher puts
    its own (~/.local/bin); once registered, a recorder takes its place, so
    that what the desktop hands over is seen before the launcher sees it."""

    def __init__(self, top, home):
        self.bin = home + "/.local/bin"
        os.makedirs(self.bin)
        self.launcher = self.bin + "/zarnolaunch"
        self.copy = self.launcher + ".copy"
        shutil.copy(BUILT_LAUNCHER, self.launcher)
        self.log = top + "/launcher.log"
        self.launcher_record = top + "/launcher-record"
        self.game_record = os.environ["ZARNOK_RECORD"]
        self.entry = home + "/share/applications/zarnolaunch.desktop"
        self.mime = home + "/share/mime"

    def run(self, *options):
        if os.path.exists(self.copy):
            os.replace(self.copy, self.launcher)
        elif not os.path.exists(self.launcher):  # taken away by its -uninstall
            shutil.copy(BUILT_LAUNCHER, self.launcher)
        return subprocess.run([self.launcher, "-quiet", "-logfile", self.log, *options],
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=60).returncode

    def install(self, what):
        """Runs -install and checks what it wrote; then the recorder goes in."""
        logged = read_text(self.log)
        # The status is 1 by design, on success as on failure: what counts
        # is what was written.
        check(self.run("-install") == 1, f"{what}: -install ends with status 1")
        logged = read_text(self.log)[len(logged):].splitlines()
        check("Alert text:  ZarnoLaunch installed successfully!" in logged,
              f"{what}: -install logs its success")
        exec_lines = [line for line in read_text(self.entry).splitlines() if line.startswith("Exec=")]
        check(exec_lines == [f"Exec={self.launcher} %u"], f"{what}: the desktop entry runs the launcher "
              f"with one argument ({exec_lines})")
        check(":application/zarnolaunch:*.zarnok\n" in read_text(self.mime + "/globs2"),
              f"{what}: the MIME database maps *.zarnok")
        for mime_type in (ZARNOK_TYPE, "x-scheme-handler/zarnolaunch"):
            default = default_application(mime_type)
            check(default == "zarnolaunch.desktop", f"{what}: GIO's default for {mime_type} is {default}")
        os.replace(self.launcher, self.copy)
        write_recorder(self.launcher, self.launcher_record, self.copy)

    def uninstall(self):
        return self.run("-uninstall") == 0 and not os.path.exists(self.entry) and not os.path.exists(self.launcher)

    def clear(self):
        for record in (self.launcher_record, self.game_record):
            if os.path.exists(record):
                os.remove(record)

    def handed(self):
        return read_record(self.launcher_record)


def default_application(mime_type):
    """The desktop entry that GIO (and so Firefox and the portal) opens the
    type with, as `gio mime` tells it."""
    out = subprocess.run(["gio", "mime", mime_type], capture_output=True, text=True, timeout=30).stdout
    first = out.splitlines()[0] if out else ""
    return first.rsplit(": ", 1)[1] if first.startswith("Default application") else None


# The portal knows a Flatpak app by the /.flatpak-info in its root.
FLATPAK_INFO = "[Application]\nname=org.mozilla.firefox\n\n[Instance]\ninstance-id=1\n"
PORTAL_CALL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "portal_call.py")


def start_bus(top):
    """A session bus of its own, which starts the portal, its GTK backend
    and its permission store when they are first called."""
    os.makedirs(top + "/bus", exist_ok=True)
    address = f"unix:path={top}/bus/{len(started)}"
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
    log = open(f"{top}/logs/dbus-{len(started)}.log", "w")
    bus = start(["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1",
                 "--address=" + address], log, subprocess.PIPE)
    if not bus.stdout.readline():
        raise RuntimeError(f"the session bus did not start; see {log.name}")
    return bus


def sandbox(top, downloads):
    """The command that runs a program as a Flatpak browser runs: in a root
    of its own that holds /usr, the session bus, its downloads folder and
    the /.flatpak-info that names it."""
    write(top + "/flatpak-info", FLATPAK_INFO)
    argv = ["bwrap", "--unshare-pid", "--die-with-parent", "--proc", "/proc", "--dev", "/dev",
            "--ro-bind", "/usr", "/usr", "--ro-bind", top + "/flatpak-info", "/.flatpak-info",
            "--ro-bind", top + "/bus", top + "/bus", "--bind", downloads, downloads,
            "--ro-bind", PORTAL_CALL, PORTAL_CALL]
    for name in ("/bin", "/lib", "/lib32", "/lib64", "/sbin"):  # /usr's, on a merged system
        if os.path.islink(name):
            argv += ["--symlink", os.readlink(name), name]
        elif os.path.isdir(name):
            argv += ["--ro-bind", name, name]
    return argv + ["--"]


def visible_windows():
    """{window id: title} of the windows on the screen."""
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "."], capture_output=True,
                         text=True, timeout=30).stdout.split()
    return {w: subprocess.run(["xdotool", "getwindowname", w], capture_output=True, text=True,
                              timeout=30).stdout.strip() for w in ids}


def portal_open(sandboxed, kind, target, desktop, answer=None):
    """Hands the target to the portal from the sandbox (see portal_call.py)
    and watches the screen from before the call until the portal answers.
    `answer` is the key pressed in the first window that shows.  Returns the
    portal's answer and the titles of the windows that showed."""
    desktop.clear()
    seen = visible_windows()
    caller = subprocess.Popen(sandboxed + ["/usr/bin/python3", PORTAL_CALL, kind, target],
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, text=True)
    while caller.poll() is None:
        for window, title in visible_windows().items():
            seen[window] = title
            if answer:
                subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", answer], timeout=30)
                answer = None
        time.sleep(0.05)
    return caller.stdout.read().strip(), sorted(seen.values())


def hide_system_applications(applications):
    """Lets only this test's programs open anything: each system desktop
    entry is hidden by an entry of the same id in the private HOME, as the
    desktop entry rules allow."""
    for data in (os.environ.get("XDG_DATA_DIRS") or "/usr/local/share:/usr/share").split(":"):
        for folder, _, files in os.walk(data + "/applications"):
            for name in files:
                if name.endswith(".desktop"):
                    desktop_id = os.path.relpath(folder + "/" + name, data + "/applications").replace("/", "-")
                    write(applications + "/" + desktop_id, "[Desktop Entry]\nHidden=true\n")


def add_application(applications, desktop_id, types, record, top):
    """A program of the desktop's that takes `types` and records what it is given."""
    program = f"{top}/bin/{desktop_id}"
    os.makedirs(os.path.dirname(program), exist_ok=True)
    write_recorder(program, record)
    write(f"{applications}/{desktop_id}.desktop", "[Desktop Entry]\nType=Application\n"
          f"Name={desktop_id}\nExec={program} %u\nMimeType={';'.join(types)};\n")
    subprocess.run(["update-desktop-database", applications], check=True, timeout=60)


def sandboxed_browser(top, desktop):
    """A Flatpak browser hands a link and a download to the desktop portal,
    which hands them to the launcher, the only program for their types."""
    name = "Sandboxed browser"
    # Xvfb picks a free display and says which once it is ready.
    xvfb = start(["Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-noreset"],
                 open(top + "/logs/xvfb.log", "w"), subprocess.PIPE)
    display = xvfb.stdout.readline().strip()
    if not display:
        raise RuntimeError(f"Xvfb did not start; see {top}/logs/xvfb.log")
    # No accessibility bus: nothing here reads the screen.
    os.environ.update(DISPLAY=":" + display, NO_AT_BRIDGE="1")
    bus = start_bus(top)
    downloads = top + "/downloads-portal"
    os.makedirs(downloads)
    link_file = downloads + "/server.zarnok"
    write(link_file, LINK_FILE)
    sandboxed = sandbox(top, downloads)
    applications = os.environ["XDG_DATA_HOME"] + "/applications"
    hide_system_applications(applications)
    editor_record = top + "/editor-record"
    add_application(applications, "editor", ["text/plain"], editor_record, top)

    # Before -install: the file's type is only text/plain, and the portal
    # reports success for the text editor.  Its answer alone proves nothing.
    answer, windows = portal_open(sandboxed, "file", link_file, desktop)
    wait_for(lambda: os.path.exists(editor_record), 10)
    check(answer == "0" and read_record(editor_record) == [link_file] and read_record(desktop.game_record) is None,
          f"{name}, file before -install: portal's answer {answer}, the editor given "
          f"{read_record(editor_record)}, the game {read_record(desktop.game_record)}")

    # A portal that is running reads the MIME database afresh only every
    # few seconds; the rest meets one started after -install.
    end(bus)
    desktop.install(name)
    bus = start_bus(top)
    link = "zarnolaunch://alpha.beta.gamma:7777"
    for kind, target, expected in (("uri", link, ["alpha.beta.gamma:7777"]),
                                   ("file", link_file, ["delta.epsilon.zeta:1234"])):
        answer, windows = portal_open(sandboxed, kind, target, desktop)
        wait_for(lambda: os.path.exists(desktop.game_record), 10)
        check(answer == "0", f"{name}, {kind}: portal's answer {answer}")
        check(windows == [], f"{name}, {kind}: no window showed ({windows})")
        check(desktop.handed() == [target], f"{name}, {kind}: launcher given {desktop.handed()}")
        check(read_record(desktop.game_record) == expected,
              f"{name}, {kind}: game given {read_record(desktop.game_record)}")

    # The portal refuses a writable descriptor for a read-only open from a
    # sandboxed app only: that it does shows that it took the caller for one.
    answer, _ = portal_open(sandboxed, "writable-file", link_file, desktop)
    check(answer == "2" and desktop.handed() is None, f"{name}: a writable descriptor refused ({answer})")

    # A second program claims both types.  The portal then asks, the
    # launcher (the default) chosen in advance; Return takes it, and the
    # portal counts the choice for this app.  (A portal that is running
    # notices the new program by a file monitor; one started afresh needs
    # none.)
    end(bus)
    other_record = top + "/other-record"
    add_application(applications, "other", [ZARNOK_TYPE, "x-scheme-handler/zarnolaunch"], other_record, top)
    start_bus(top)
    answer, windows = portal_open(sandboxed, "uri", link, desktop, answer="Return")
    wait_for(lambda: os.path.exists(desktop.game_record), 10)
    check(answer == "0" and len(windows) == 1 and read_record(desktop.game_record) == ["alpha.beta.gamma:7777"]
          and read_record(other_record) is None,
          f"{name}, a second program: the portal asked ({windows}); Return started the game with "
          f"{read_record(desktop.game_record)}")
    store = subprocess.run(["gdbus", "call", "--session", "--dest", "org.freedesktop.impl.portal.PermissionStore",
                            "--object-path", "/org/freedesktop/impl/portal/PermissionStore", "--method",
                            "org.freedesktop.impl.portal.PermissionStore.Lookup", "desktop-used-apps",
                            "x-scheme-handler/zarnolaunch"], capture_output=True, text=True, timeout=30).stdout
    check("'org.mozilla.firefox': ['zarnolaunch', '1', '3']" in store,
          f"{name}: the choice counted for org.mozilla.firefox ({store.strip()})")


def table_column(text):
    """A column of tests/server_addresses.tsv, its escapes undone."""
    return re.sub(r"\\(.)", lambda m: {"t": "\t", "n": "\n"}.get(m.group(1), m.group(1)), text)


def join_page_checks(browser, name):
    """The join page's own address check against the launcher's table, its
    refusal, and the instructions and language each visitor gets."""
    with open(SOURCE + "/tests/server_addresses.tsv", encoding="utf-8") as f:
        rows = [[table_column(c) for c in line.split("\t", 1)] for line in f.read().split("\n")
                if line and not line.startswith("#")]
    load(browser, "join.html?server=play.example.net:70000")
    got = browser.run("return arguments[0].map((raw) => cleanServer(raw) ?? '<none>')", [raw for raw, _ in rows])
    wrong = [(raw, want, have) for (raw, want), have in zip(rows, got) if want != have]
    check(len(got) == len(rows) and not wrong, f"{name}: the page checks {len(rows)} addresses as the launcher"
          f" ({wrong})")
    shown = browser.run("return [document.getElementById('refusal').hidden, location.href,"
                        " document.querySelector('#refusal .wording').textContent,"
                        " document.getElementById('join').hidden,"
                        " document.querySelectorAll('a[href^=\"zarnolaunch:\"], a[download]').length]")
    check(shown[0] is False and shown[2] == "Invalid server link:\n\t" + shown[1] and shown[3:] == [True, 0],
          f"{name}: a port above 65535 refused, and no link ({shown})")

    texts = dict(translations.languages(glob.glob(SOURCE + "/resources/po/*.po")))
    title = "Join a Zarnok server"
    for agent, languages, first, code in VISITORS:
        browser.emulate(agent, languages)
        load(browser, "join.html#alpha.beta.gamma:7777")
        shown = browser.run("const first = document.querySelector('#systems > section');"
                            "return [first.id, first.contains(document.getElementById('yours')),"
                            " document.documentElement.lang, document.querySelector('h1').textContent]")
        want = [first, True, code.replace("_", "-") or "en", texts[code][(None, title)] if code else title]
        check(shown == want, f"{name}, {agent.split(')')[0]}), {languages}: {first} first, in {code or 'English'}"
              f" ({shown})")
    # The pictures of the operators' documentation, when asked for: a
    # Windows player's desktop in light colours, and a phone in dark ones.
    pictures = os.environ.get("ZARNO_PICTURES")
    if pictures and hasattr(browser, "picture"):
        for picture, agent, size, scheme in (("join-page.png", VISITORS[0][0], (1000, 1250), "light"),
                                             ("join-page-narrow.png", VISITORS[4][0], (390, 1500), "dark")):
            browser.emulate(agent, "en-US")
            load(browser, "join.html#play.example.net:7777")
            browser.picture(os.path.join(pictures, picture), *size, scheme)


def main():
    top = tempfile.mkdtemp(prefix="zarno-browser-")
    # Apache's children run as www-data and must reach the sites.
    os.chmod(top, 0o755)
    home = top + "/home"
    record = top + "/game-record"
    smuggled = top + "/smuggled.log"
    # The browser hands these down through the desktop to the launcher and
    # the game.  xdg-open needs a named display and a desktop it does not
    # know to use its generic method; a link nobody takes would go to
    # $BROWSER, here `true`, rather than start yet another browser.
    os.environ.update(HOME=home, XDG_DATA_HOME=home + "/share", XDG_CONFIG_HOME=home + "/config",
                      ZARNOLAUNCH_REGISTRY=home + "/registry.reg", ZARNOK_RECORD=record,
                      XDG_CURRENT_DESKTOP="X-Generic", DISPLAY=":0", BROWSER="true")
    os.makedirs(home)
    write(home + "/registry.reg", 'REGEDIT4\n\n[HKEY_CLASSES_ROOT\\Zarnok\\shell\\open\\command]\n'
          '@="\\"%s\\" \\"%%1\\""\n' % GAME)
    anchors = "".join(f'<p><a id="{link}" href="{html.escape(href.format(smuggled=smuggled))}">{link}</a></p>\n'
                      for page, link, href, _, _ in LINKS if page == "index.html")
    page = f"<!doctype html>\n<html><head><title>Zarnok servers</title></head><body>\n{anchors}</body></html>\n"

    desktop = Desktop(top, home)
    try:
        origins = start_servers(top, page)
        for server, place, page_type, typed in SITES:
            origin = origins[(server, place)]
            check(content_type(origin + "/index.html") == page_type, f"{server}, {place}: page is {page_type}")
            check((content_type(origin + "/server.zarnok") == ZARNOK_TYPE) == typed,
                  f"{server}, {place}: link file is {'' if typed else 'not '}{ZARNOK_TYPE}")

        for browser_class in (Chromium, Firefox):
            name = browser_class.__name__
            # Before Firefox it follows Chromium's "-uninstall".
            desktop.install(name)
            downloads = f"{top}/downloads-{name}"
            os.makedirs(downloads)
            browser = browser_class(top, origins[browser_class.server], downloads)
            try:
                for page, link, _, handed, expected in LINKS:
                    handed = [handed.format(downloads=downloads, smuggled=smuggled)]
                    got_handed, got, took = follow(browser, page, link, desktop, 20)
                    check(got_handed == handed, f"{name}, {link} link: launcher given {got_handed}")
                    check(got == expected, f"{name}, {link} link: game given {got} ({took:.2f} s)")
                    if page.startswith("join.html"):
                        shown = browser.run("return document.getElementById('address').textContent")
                        check(shown == expected[0], f"{name}, {page}: the page shows {shown}")
                join_page_checks(browser, name)

                # Without the registration the same click starts nothing.  A
                # desktop entry left behind would still be found: GIO falls
                # back to any entry that declares the type.
                check(desktop.uninstall(), f"{name}: -uninstall")
                # Nothing to wait for but time: ten times the slowest
                # hand-over above.
                got_handed, got, _ = follow(browser, "index.html", "server", desktop, 3)
                check(got_handed is None and got is None,
                      f"{name}, server link after -uninstall: nothing started")
            finally:
                browser.close()
        sandboxed_browser(top, desktop)
    finally:
        end_all()
    if failures:
        print(f"{len(failures)} check(s) failed; files kept in {top}")
        return 1
    shutil.rmtree(top, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
