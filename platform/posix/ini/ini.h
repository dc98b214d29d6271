// The stand-in's INI lookup, over text already in memory.  Kept apart from
// the file handling so that it can be tested and fuzzed on its own.
#ifndef ZARNOLAUNCH_INI_H
#define ZARNOLAUNCH_INI_H

#include <stddef.h>

// Looks up key in section of the INI text [data, data + length) the way the
// Windows profile reader does, and copies the value (or def) into buf, cut to
// size - 1 bytes and terminated.  Returns the number of bytes copied.
unsigned long iniLookup(const char *data, size_t length, const char *section,
                        const char *key, const char *def, char *buf,
                        unsigned long size);

#endif
