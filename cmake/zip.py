#!/usr/bin/env python3
"""zip.py OUT EPOCH FILE...: a zip of the files, each under its name alone,
whose bytes depend on nothing but theirs: every entry dated EPOCH (seconds
since 1970, written as UTC, since a zip's dates are local times), mode 644,
in the order given.  Python's own zipfile: CMake's archives take no date in
seconds and record the builder's user."""
import os
import sys
import time
import zipfile

out, epoch, files = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
# A zip's dates begin in 1980.
date = time.gmtime(max(epoch, 315532800))[:6]
with zipfile.ZipFile(out + ".part", "w") as archive:
    for path in files:
        entry = zipfile.ZipInfo(os.path.basename(path), date)
        entry.external_attr = 0o100644 << 16
        entry.compress_type = zipfile.ZIP_DEFLATED
        with open(path, "rb") as f:
            archive.writestr(entry, f.read())
os.replace(out + ".part", out)
