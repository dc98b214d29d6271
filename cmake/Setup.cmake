# The Windows setup (NSIS).
