#include <cstdlib>
#include <cstring>

#include "registry/registry.h"
#include "report/report.h"

char gamePathCache[260];
bool gamePathDerived = false;

char *commandProgram(char *command) {
  size_t length = strlen(command);
  if (length >= 4 && strcmp(command + length - 4, "\"%1\"") == 0) {
    length -= 4;
    command[length] = '\0';
  }
  while (length > 0 && (command[length - 1] == ' ' || command[length - 1] == '\t'))
    command[--length] = '\0';

  // A quoted path ends at the next double quote.  When there is none the
  // quote is taken to run to the end of the command, as the Windows start-up
  // code reads an unclosed quote on a command line: the path is then all that
  // follows the opening quote, trailing blanks already cut.
  char *path = command;
  if (*path == '"') {
    ++path;
    char *close = strchr(path, '"');
    if (close) *close = '\0';
  }
  return path;
}

static bool fitsCache(const char *path) { return strlen(path) < sizeof gamePathCache; }

const char *gamePath(void) {
  if (gamePathCache[0]) return gamePathCache;

  // What an earlier run derived, as long as the game is still there.  A value
  // too long for the cache cannot have been written by the launcher, and is
  // passed over like a stale one.
  char *stored = regReadString(HKCR, "ZarnoLaunch", "Path to Zarnok");
  if (stored && fitsCache(stored) && platFileExists(stored)) {
    strcpy(gamePathCache, stored);
    free(stored);
    return gamePathCache;
  }
  free(stored);

  // A Linux player who installed the Windows game with Wine has its open
  // command only in the Wine prefix's registry, with a Windows path that the
  // prefix's drives map to the Linux file.  Only the Linux path is stored, so
  // that the prefix is read once.
  const char *gameCommand = "Zarnok\\shell\\open\\command";
  char prefix[4096] = "";
  char *command = regReadString(HKCR, gameCommand, nullptr);
  if (!command) command = platWineClassesString(gameCommand, prefix, sizeof prefix, logLine);
  if (!command)
    fatal("Zarnok is not properly installed!  Please reinstall Zarnok.", nullptr, STYLE_ERROR);

  char *path = commandProgram(command);
  char mapped[4096];
  if (prefix[0]) path = platWinePath(prefix, path, mapped, sizeof mapped) ? mapped : nullptr;
  if (!path || !fitsCache(path) || !platFileExists(path)) {
    free(command);
    fatal("Can't find Zarnok on your system!", nullptr, STYLE_ERROR);
  }
  strcpy(gamePathCache, path);
  free(command);
  gamePathDerived = true;
  if (prefix[0]) logPrintf("game found in the Wine prefix \"%s\"", prefix);
  // Remembered for the next run; a failure only costs that run the lookup.
  regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", gamePathCache);
  return gamePathCache;
}
