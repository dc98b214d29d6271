// Splits a command line into arguments by the rules Windows programs use, so
// that the stand-in starts the game with the arguments Windows would give it.
#ifndef ZARNOLAUNCH_CMDLINE_H
#define ZARNOLAUNCH_CMDLINE_H

#include <string>
#include <vector>

std::vector<std::string> splitCommandLine(const char *commandLine);

#endif
