#include <cstdlib>
#include <cstring>

#include "registry/registry.h"
#include "report/report.h"

char gamePathCache[260];
bool gamePathDerived = false;
const char *gamePrefix = nullptr;
const char *gameCommand = nullptr;
bool gameLookupForInstall = false;

// What the launcher keeps of a game found under Wine, beside "Path to
// Zarnok": the prefix, and the game manager and its command.  They hold
// heap strings for the whole run.
static const char prefixValue[] = "Wine prefix of Zarnok";
static const char managerValue[] = "Game manager of Zarnok";
static const char commandValue[] = "Command for Zarnok";
static const char recordValue[] = "Record for Zarnok";
static char *gameManager;
static char *gameRecord;
// Set when the record an earlier run stored held a game under Wine: values
// of it that this run did not find are removed when the record is stored.
static bool storedUnderWine;

// The game cannot be found: the message, what to do, and (on Linux) where
// the launcher looked.
[[noreturn]] static void notInstalled(const char *looked) {
  fatalFormat(N_("Install or reinstall Zarnok, then open the link again."), looked,
              N_("Zarnok is not properly installed!  Please reinstall Zarnok."));
}

[[noreturn]] static void cannotFind(const char *looked) {
  fatalFormat(N_("Reinstall Zarnok, then open the link again."), looked,
              N_("Can't find Zarnok on your system!"));
}

// Cuts a final "\"%1\"" and the blanks before it off a command, in place.
static void trimCommand(char *command) {
  size_t length = strlen(command);
  if (length >= 4 && strcmp(command + length - 4, "\"%1\"") == 0) {
    length -= 4;
    command[length] = '\0';
  }
  while (length > 0 && (command[length - 1] == ' ' || command[length - 1] == '\t'))
    command[--length] = '\0';
}

static bool fitsCache(const char *path) { return strlen(path) < sizeof gamePathCache; }

static bool isFile(const char *path, void *) { return platIsFile(path); }

// The program the game's own command names, read as Windows reads it.  A
// quoted path ends at the next double quote, or, when there is none, runs
// to the end of the command, as the Windows start-up code reads an unclosed
// quote.  Unquoted, each blank ends a candidate and the first that names a
// file wins ("/opt/zarnok/zarnok %1" names /opt/zarnok/zarnok); when none
// does, the whole command is the path, and names nothing.
static void findInCommand(char *command) {
  trimCommand(command);
  size_t size = strlen(command) + 8;
  char *path = (char *)malloc(size);
  if (!path) cannotFind(nullptr);
  platCommandProgram(command, isFile, nullptr, path, (unsigned long)size);
  free(command);
  bool found = fitsCache(path) && platFileExists(path);
  if (found) strcpy(gamePathCache, path);
  free(path);
  if (!found) cannotFind(nullptr);
}

// The game under Wine, for a launcher whose registry names none, or whose
// stored choice no longer holds (preferred: the prefix chosen then).
static void findUnderWine(const char *key, const char *preferred) {
  PlatWineGame found;
  int result = platFindWineGame(key, preferred, &found, logLine);
  if (result == PLAT_GAME_FOUND && !fitsCache(found.path)) result = PLAT_GAME_NO_PROGRAM;
  switch (result) {
    case PLAT_GAME_FOUND:
      break;
    case PLAT_GAME_REFUSED:
      fatalError(found.why, found.whyShown);
    case PLAT_GAME_NO_PROGRAM:
      cannotFind(found.whyShown);
    default:
      notInstalled(found.whyShown);
  }
  strcpy(gamePathCache, found.path);
  logPrintf("game found in the Wine prefix \"%s\"", found.prefix);
  // Kept for the run: what the launch needs, and what gets stored.
  gamePrefix = found.prefix;
  gameManager = found.manager;
  gameCommand = found.command;
  gameRecord = found.record;
  free(found.path);
  free(found.why);
  free(found.whyShown);
}

static void writeThroughClasses(const char *name, const char *value) {
  // Remembered for the next run; a failure only costs that run the lookup.
  if (value)
    regWriteString(HKCR, "ZarnoLaunch", name, value);
  else
    regDeleteValue(HKCR, "ZarnoLaunch", name);
}

const char *gamePath(void) {
  if (gamePathCache[0]) return gamePathCache;

  // What an earlier run derived, as long as the game is still there.  A value
  // too long for the cache cannot have been written by the launcher, and is
  // passed over like a stale one.  "-install" looks for a game under Wine
  // again.  The whole record is read at once: one look at the registry
  // rather than one for each of its values.
  const char *const recordValues[] = {"Path to Zarnok", prefixValue, managerValue, commandValue, recordValue};
  char *record[5];
  regReadStrings(HKCR, "ZarnoLaunch", recordValues, record, 5);
  char *stored = record[0];
  char *storedPrefix = record[1];
  gameManager = record[2];
  gameCommand = record[3];
  gameRecord = record[4];
  storedUnderWine = storedPrefix != nullptr;
  bool usable = stored && fitsCache(stored) && platFileExists(stored) && !(gameLookupForInstall && storedPrefix);
  if (stored && storedPrefix && !usable && !gameLookupForInstall)
    logPrintf("looking for Zarnok again: \"%s\" is gone", stored);
  if (usable && storedPrefix) {
    // A prefix that was removed takes its game's record with it, even where
    // the game's file is still reached (through a link, say): Wine would
    // make a new, empty prefix in its place.  A manager's program that is
    // gone, or its record changed (the player chose another Wine or Proton
    // there), calls for the search again, which prefers the prefix chosen.
    char why[1024];
    if (platCheckStoredGame(storedPrefix, gameCommand, gameRecord, why, sizeof why) != PLAT_STORED_GOOD) {
      logPrintf("looking for Zarnok again: %s", why);
      usable = false;
    }
  }
  if (!usable || !storedPrefix) {
    // Kept only with the prefix they belong to; a new search finds its own.
    free(gameManager);
    free((char *)gameCommand);
    free(gameRecord);
    gameManager = gameRecord = nullptr;
    gameCommand = nullptr;
  }
  if (usable) {
    strcpy(gamePathCache, stored);
    free(stored);
    gamePrefix = storedPrefix;
    return gamePathCache;
  }
  free(stored);

  // The game's own installation left its open command; a Linux player who
  // installed the Windows game under Wine has it only in the Wine prefix's
  // registry, with a Windows path that the prefix's drives map to the Linux
  // file.
  const char *key = "Zarnok\\shell\\open\\command";
  char *command = regReadCommand(HKCR, key, nullptr);
  if (command)
    findInCommand(command);
  else
    findUnderWine(key, gameLookupForInstall ? nullptr : storedPrefix);
  free(storedPrefix);
  gamePathDerived = true;
  if (!gameLookupForInstall) storeGameRecord(writeThroughClasses);
  return gamePathCache;
}

void storeGameRecord(RecordWrite write) {
  write("Path to Zarnok", gamePathCache);
  if (!gamePrefix && !storedUnderWine) return;
  write(prefixValue, gamePrefix);
  write(managerValue, gameManager);
  write(commandValue, gameCommand);
  write(recordValue, gameRecord);
}
