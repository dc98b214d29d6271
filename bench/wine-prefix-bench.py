#!/usr/bin/env python3
"""A launch through Wine, against a direct "wine" start of the same game.

The Linux launcher finds a Windows game installed with Wine and starts it
through Wine in its prefix.  This measures, in one run and alternating,

  launcher:  zarnolaunch -quiet LINK     (the stored path; it starts "wine")
  baseline:  wine GAME.exe ADDRESS       (with WINEPREFIX set, as a player would)

each from its start until the game (the win32 build's zarnok-demo.exe, in a
folder with a blank and a non-ASCII letter in its name) has written down its
address.  The launcher does not wait for the game, so the game's record is
the only end both share.  Both run against one persistent wineserver,
started first and stopped at the end, so that neither pays for starting a
server.  Prints the median of each and the median of the per-pair ratios.

  python3 bench/wine-prefix-bench.py [PAIRS]          (default 30, at least 10)
  BUILD=build/x WIN32_BUILD=build/y python3 bench/wine-prefix-bench.py

BUILD is a native build tree (default build/native), WIN32_BUILD a win32 one
(default build/win32); both must be built.  The prefix is BENCH_PREFIX
(default BUILD/bench-wineprefix), made on first use.
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


def absolute(path):
    return path if os.path.isabs(path) else os.path.join(ROOT, path)


def wait_for(path, timeout=30.0):
    deadline = time.monotonic() + timeout
    while not os.path.exists(path):
        if time.monotonic() > deadline:
            raise SystemExit(f"the game did not record its address within {timeout}s")
        time.sleep(0.0005)


def game_ended(prefix, timeout=30.0):
    """Waits until no game is left running in the prefix, so that runs never
    overlap: the launcher does not wait for the game it started, nor can this
    script.  Other prefixes' games (a test run's) are not waited for."""
    mark = b"WINEPREFIX=" + os.fsencode(prefix) + b"\0"
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        running = False
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    if b"zarnok-demo" not in f.read():
                        continue
                with open(f"/proc/{pid}/environ", "rb") as f:
                    running = running or mark in f.read()
            except OSError:
                pass
        if not running:
            return
        time.sleep(0.002)
    raise SystemExit("the game did not end")


def main():
    pairs = int(sys.argv[1]) if len(sys.argv) > 1 else 30
    if pairs < 10:
        raise SystemExit("usage: wine-prefix-bench.py [PAIRS]   (PAIRS: at least 10)")
    build = absolute(os.environ.get("BUILD", "build/native"))
    win32 = absolute(os.environ.get("WIN32_BUILD", "build/win32"))
    prefix = absolute(os.environ.get("BENCH_PREFIX", os.path.join(build, "bench-wineprefix")))
    launcher = os.path.join(build, "zarnolaunch")
    for needed in (launcher, os.path.join(win32, "zarnok-demo.exe")):
        if not os.path.exists(needed):
            raise SystemExit(f"not built: {needed}")

    work = tempfile.mkdtemp()
    env = dict(os.environ, LANG="C.UTF-8", WINEDEBUG="-all",
               ZARNOLAUNCH_REGISTRY=os.path.join(work, "registry.reg"),
               ZARNOK_RECORD=os.path.join(work, "record"))
    for name in ("LC_ALL", "LC_CTYPE", "DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    prefixed = dict(env, WINEPREFIX=prefix)
    record = env["ZARNOK_RECORD"]
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

        # One persistent server for every run.
        server = subprocess.Popen(["wineserver", "-f", "-p"], env=prefixed,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)

        link = os.path.join(work, "bench.zarnok")
        with open(link, "w") as f:
            f.write(f"[ZarnoLaunch]\nServer={ADDRESS}\n")
        # The first launch finds the game in the prefix and stores its path;
        # the timed ones start from that path with no Wine variable set.
        check = subprocess.run([launcher, "-quiet", "-logfile", os.path.join(work, "check.log"), link],
                               env=prefixed)
        wait_for(record)
        with open(os.path.join(work, "check.log")) as f:
            log = f.read()
        if check.returncode != 0 or "game found in the Wine prefix" not in log:
            raise SystemExit("the launcher did not find the game:\n" + log)

        def through_launcher():
            subprocess.run([launcher, "-quiet", link], env=env, check=True)

        def direct():
            return subprocess.Popen(["wine", game, ADDRESS], env=prefixed)

        def timed(start):
            os.remove(record)
            begin = time.monotonic()
            process = start()
            wait_for(record)
            took = time.monotonic() - begin
            if process is not None:
                process.wait()
            game_ended(prefix)
            return took

        timed(through_launcher), timed(direct)  # warm-up
        ours, theirs, ratios = [], [], []
        for i in range(pairs):
            if i % 2:
                b = timed(direct)
                a = timed(through_launcher)
            else:
                a = timed(through_launcher)
                b = timed(direct)
            ours.append(a)
            theirs.append(b)
            ratios.append(a / b)
        print(f"wine: {subprocess.run(['wine', '--version'], capture_output=True, text=True).stdout.strip()}")
        print(f"pairs: {pairs}   load average: {open('/proc/loadavg').read().split()[:3]}")
        def spread(times):
            q = statistics.quantiles(times, n=4)
            return (f"median {statistics.median(times) * 1000:.1f} ms "
                    f"(quartiles {q[0] * 1000:.1f} to {q[2] * 1000:.1f})")
        print(f"launcher -> wine -> game recorded: {spread(ours)}")
        print(f"wine -> game recorded (direct):     {spread(theirs)}")
        print(f"ratio launcher/direct: {statistics.median(ours) / statistics.median(theirs):.3f} of the "
              f"medians, {statistics.median(ratios):.3f} median of the per-pair ratios")
    finally:
        if server is not None:
            subprocess.run(["wineserver", "-k"], env=prefixed)
            server.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
