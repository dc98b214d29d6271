// The launcher proper: the run flow, the server address check and the start
// of the game from a link file.
#ifndef ZARNOLAUNCH_LAUNCHER_H
#define ZARNOLAUNCH_LAUNCHER_H

#include <stddef.h>

// 1 at start; "-launch" toggles it.  While 0 the game is not started.
extern int launchEnabled;

char *skipBlanks(char *text);
// Checks and trims a raw Server value in place.  Returns the start of the
// address inside text, or null when the value is not usable.  The join page
// (web/join.html) checks addresses by the same steps; both are held to the
// table in tests/server_addresses.tsv.
char *cleanServer(char *text);

// snprintf into a fixed buffer.  False when the text had to be cut short;
// the buffer then holds the cut, terminated text.
bool composeText(char *buf, size_t size, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// What to do about a link that names no server the launcher accepts.
extern const char askForANewLink[];

void launchFromFile(const char *path);
// The same for a "zarnolaunch:" server link given on the command line.
void launchFromLink(const char *link);
// Starts the game: program with argument, composed as commandLine for
// Windows.  PLAT_OK or the platform's error code.
long runCommand(char *commandLine, const char *program, const char *argument);

[[noreturn]] void usage(void);

#endif
