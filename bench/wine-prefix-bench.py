#!/usr/bin/env python3
"""A launch through Wine, against a direct "wine" start of the same game.

In one run and alternating: "zarnolaunch -quiet LINK" (which starts the
stored path through wine) and "wine GAME.exe ADDRESS" with WINEPREFIX set, as
a player would, each timed until the game (the win32 build's zarnok-demo.exe,
in a folder with a blank and a non-ASCII letter in its name) has recorded its
address: the launcher does not wait for the game, so that record is the only
end both share.  Prints the median of each, the ratio of the medians and the
median of the per-pair ratios, which is the figure to read: any start
through Wine now and then takes some 60 ms longer, on either side, so the
medians of a few dozen starts each can fall on either side of that gap.

Both sides start the same way: a small native program (the launcher, or the
launch benchmark's minimal_spawner, which only starts wine with the game and
the address) that this script runs and that ends once it has started Wine.
Started from Python itself, the direct side paid for Python's own start of a
program, and read 0.5 to 0.7.  Both run as a desktop or a browser starts the
launcher: standard input, output and error on /dev/null.  Between runs the
benchmark waits until no process of the prefix is left but those of the
settled prefix (the server and the services Wine keeps running with it),
whatever their names (run_ended), so that each run starts where the last one
did.  Run from a terminal, each side once inherited it, and Wine started a
console host (conhost.exe) for the game, a console program; the wait between
runs counted the game only, so one run's console host was still ending when
the next run began.  The benchmark asks for a higher priority than the builds
around it, where it may, and shares it with everything it starts.

  [BUILD=build/native] [WIN32_BUILD=build/win32] python3 bench/wine-prefix-bench.py [PAIRS]

PAIRS defaults to 40.  The prefix, BUILD/bench-wineprefix, is made on first
use.  ZARNO_BENCH_TRACE=1 prints each pair's two times as they come.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDER = "Zarnok Spiel \u00c4"
ADDRESS = "alpha.beta.gamma:7777"


def until(done, what, timeout=30.0):
    deadline = time.monotonic() + timeout
    while not done():
        if time.monotonic() > deadline:
            raise SystemExit(f"{what} within {timeout}s")
        time.sleep(0.0005)


def proc(pid, name):
    try:
        with open(f"/proc/{pid}/{name}", "rb") as f:
            return f.read()
    except OSError:
        return b""


def wine_prefix_of(pid):
    for entry in proc(pid, "environ").split(b"\0"):
        if entry.startswith(b"WINEPREFIX="):
            return os.path.realpath(entry[len(b"WINEPREFIX="):])
    return None


def prefix_processes(prefix):
    # Every process whose WINEPREFIX is the prefix, compared as the folder it
    # is, not as it is spelled: a game started with another spelling of the
    # same prefix (through a link) was once not waited for, and ran on into
    # the next direct start, which made the launcher look three times faster.
    real = os.path.realpath(prefix).encode()
    return {pid for pid in os.listdir("/proc") if pid.isdigit() and wine_prefix_of(pid) == real}


def run_ended(prefix, settled):
    # Runs must never overlap, and neither the launcher nor this script can
    # wait for the game it started: it waits until no process of the prefix
    # is left but those of the settled prefix (the persistent wineserver and
    # the services Wine keeps running with it), whatever their names.  Waiting for the game and its console host by name missed
    # the rest of a run's work in the prefix: the desktop process
    # (explorer.exe) that a start brings up stays about a second after the
    # game and then ends, so whether a run found a desktop or had to start
    # one depended on the runs before it.  Other prefixes' processes (a test
    # run's) are not waited for.
    until(lambda: prefix_processes(prefix) <= settled, "the run's processes did not end", timeout=60.0)


def main():
    try:
        os.nice(-10)
    except OSError:
        pass
    pairs = int(sys.argv[1]) if len(sys.argv) > 1 else 40
    if pairs < 10:
        raise SystemExit("usage: wine-prefix-bench.py [PAIRS]   (PAIRS: at least 10)")
    build = os.path.join(ROOT, os.environ.get("BUILD", "build/native"))
    win32 = os.path.join(ROOT, os.environ.get("WIN32_BUILD", "build/win32"))
    prefix = os.path.join(build, "bench-wineprefix")
    launcher = os.path.join(build, "zarnolaunch")
    spawner = os.path.join(build, "minimal_spawner")
    for needed in (launcher, spawner, os.path.join(win32, "zarnok-demo.exe")):
        if not os.path.exists(needed):
            raise SystemExit(f"not built: {needed}")

    work = tempfile.mkdtemp()
    record = os.path.join(work, "record")
    env = dict(os.environ, LANG="C.UTF-8", WINEDEBUG="-all", ZARNOK_RECORD=record,
               ZARNOLAUNCH_REGISTRY=os.path.join(work, "registry.reg"))
    for name in ("LC_ALL", "LC_CTYPE", "DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    prefixed = dict(env, WINEPREFIX=prefix)
    server = None
    try:
        # The prefix, and the game registered in it as its installer would.
        subprocess.run(["sh", os.path.join(ROOT, "cmake/wine-run.sh"), prefix, "cmd", "/c", "exit"],
                       env=env, check=True, capture_output=True)
        folder = os.path.join(prefix, "drive_c", "Games", FOLDER)
        os.makedirs(folder, exist_ok=True)
        game = os.path.join(folder, "zarnok-demo.exe")
        shutil.copyfile(os.path.join(win32, "zarnok-demo.exe"), game)
        command = f'"C:\\Games\\{FOLDER}\\zarnok-demo.exe" "%1"'
        subprocess.run(["wine", "reg", "add", r"HKCR\Zarnok\shell\open\command", "/ve", "/d", command,
                        "/f"], env=prefixed, check=True, capture_output=True)
        subprocess.run(["wineserver", "-w"], env=prefixed, check=True)

        # One persistent server for every run, so that neither side pays for
        # starting one; given a moment to be up before the first run.
        server = subprocess.Popen(["wineserver", "-f", "-p"], env=prefixed,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)

        link = os.path.join(work, "bench.zarnok")
        with open(link, "w") as f:
            f.write(f"[ZarnoLaunch]\nServer={ADDRESS}\n")
        # The first launch finds the game in the prefix and stores its path;
        # the timed ones start from that path with no Wine variable set.
        log = os.path.join(work, "check.log")
        check = subprocess.run([launcher, "-quiet", "-logfile", log, link], env=prefixed)
        until(lambda: os.path.exists(record), "the game did not record its address")
        until(lambda: not any(b"zarnok-demo" in proc(pid, "cmdline") for pid in prefix_processes(prefix)),
              "the game did not end")
        with open(log) as f:
            text = f.read()
        if check.returncode != 0 or "game found in the Wine prefix" not in text:
            raise SystemExit("the launcher did not find the game:\n" + text)

        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def through_launcher():
            subprocess.run([launcher, "-quiet", link], env=env, check=True, **quiet)

        def direct():
            subprocess.run([spawner, shutil.which("wine"), game, ADDRESS], env=prefixed, check=True, **quiet)

        def timed(start, settled):
            os.remove(record)
            begin = time.monotonic()
            start()
            until(lambda: os.path.exists(record), "the game did not record its address")
            took = time.monotonic() - begin
            run_ended(prefix, settled)
            return took

        # The prefix settled after a first start of each: what remains once
        # the desktop process those starts brought up has ended (the server,
        # Wine's services) stays, and every timed run starts from just that.
        first = prefix_processes(prefix)
        timed(through_launcher, first), timed(direct, first)
        settled, since = prefix_processes(prefix), time.monotonic()
        while time.monotonic() - since < 3:
            time.sleep(0.05)
            if prefix_processes(prefix) != settled:
                settled, since = prefix_processes(prefix), time.monotonic()
        ours, theirs = [], []
        for i in range(pairs):
            order = (through_launcher, direct) if i % 2 == 0 else (direct, through_launcher)
            took = {start: timed(start, settled) for start in order}
            if os.environ.get("ZARNO_BENCH_TRACE"):
                print(i, round(took[through_launcher] * 1000), round(took[direct] * 1000), flush=True)
            ours.append(took[through_launcher])
            theirs.append(took[direct])
        version = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
        print(f"{version}, {pairs} pairs, load average {open('/proc/loadavg').read().split()[:3]}")
        print(f"launcher -> wine -> game recorded: median {statistics.median(ours) * 1000:.1f} ms")
        print(f"wine -> game recorded (direct):     median {statistics.median(theirs) * 1000:.1f} ms")
        print(f"ratio launcher/direct: {statistics.median(ours) / statistics.median(theirs):.3f} of the "
              f"medians, {statistics.median(a / b for a, b in zip(ours, theirs)):.3f} median of the "
              "per-pair ratios")
    finally:
        if server is not None:
            subprocess.run(["wineserver", "-k"], env=prefixed)
            server.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
