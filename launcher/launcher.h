// The launcher proper: the run flow, the server address check and the start
// of the game from a link file.
#ifndef ZARNOLAUNCH_LAUNCHER_H
#define ZARNOLAUNCH_LAUNCHER_H

// 1 at start; "-launch" toggles it.  While 0 the game is not started.
extern int launchEnabled;

char *skipBlanks(char *text);
// Checks and trims a raw Server value in place.  Returns the start of the
// address inside text, or null when the value is not usable.
char *cleanServer(char *text);

void launchFromFile(const char *path);
int runCommand(char *commandLine);

[[noreturn]] void usage(void);

#endif
