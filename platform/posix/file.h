// File reading shared by the stand-in's INI reader and registry.
#ifndef ZARNOLAUNCH_POSIX_FILE_H
#define ZARNOLAUNCH_POSIX_FILE_H

#include <string>

// Appends the whole file to text.  False (errno set) when it cannot be
// opened or read, or is not a regular file; opening never blocks, so a FIFO
// or a device is refused rather than waited on.
bool readRegularFile(const char *path, std::string &text);

#endif
