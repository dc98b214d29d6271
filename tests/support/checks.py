"""What the Python harnesses share: a check that notes what failed, says
so at once, and lets the run go on to its other checks; and a virtual
display to show windows on."""

import os
import subprocess

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what, flush=True)
    return condition


def start_xvfb():
    """Starts Xvfb on a display it picks itself, and returns the process and
    the display's name once it is ready: a display chosen beforehand may be
    taken meanwhile."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=[write], stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        return xvfb, ":" + f.readline().strip()
