"""What the Python harnesses share: a check that notes what failed, says
so at once, and lets the run go on to its other checks."""

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what, flush=True)
    return condition
