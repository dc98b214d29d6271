#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "launcher/launcher.h"
#include "platform/platform.h"
#include "registry/registry.h"
#include "report/report.h"

int launchEnabled = 1;

bool composeText(char *buf, size_t size, const char *format, ...) {
  va_list args;
  va_start(args, format);
  int length = vsnprintf(buf, size, format, args);
  va_end(args);
  return length >= 0 && (size_t)length < size;
}

long runCommand(char *commandLine, const char *program, const char *argument) {
  return platStartGame(program, argument, commandLine, gamePrefix, gameCommand, logLine);
}

const char askForANewLink[] = N_("Ask whoever published this link for a new one.");

[[noreturn]] static void illegalLine(const char *path, const char *value) {
  // Translators: the link file's path, and its Server value as it stands.
  fatalFormat(askForANewLink, nullptr, N_("Illegal line in file \"%s\":\n\tServer=%s"), path, value);
}

// Starts the game on the clean address made from raw, unless "-launch"
// turned that off; a clean address that differs from raw is noted first.
// False, with nothing started, when the address is too long for the game's
// command line: cut, it would send the player to some other server.
static bool startGame(const char *raw, const char *server) {
  if (strcmp(server, raw) != 0)
    logPrintf("Server line had some junk on it--the clean version is \"%s\"", server);
  char command[4096];
  if (!composeText(command, sizeof command, "\"%s\" %s", gamePath(), server)) return false;
  if (!launchEnabled) return true;
  logPrintf("launching this command line: \"%s\"", command);
  long error = runCommand(command, gamePath(), server);
  if (error == PLAT_ERROR_NO_WINE)
    fatalFormat(N_("Install Wine, then open the link again."), nullptr,
                N_("Zarnok is a Windows program, and Wine was not found to start it."));
  if (error != PLAT_OK)
    fatalFormat(N_("Reinstall Zarnok, then open the link again."), nullptr,
                // Translators: the game's command line.
                N_("Couldn't start Zarnok with this command line:\n\t%s"), command);
  return true;
}

// A heap copy that is never released: the launcher has always kept the
// cleaned Server value until the process ends, which is the end of the run
// anyway.  It stays reachable from here, so that the leak check of the
// sanitizer build sees no leak; that check has nothing to suppress, and so
// nothing to symbolize, which once left a launcher in a folder whose name
// holds quotes waiting on the symbolizer for good.
static char *keptServer;

static char *lastingCopy(const char *value) {
  size_t length = strlen(value);
  keptServer = (char *)malloc(length + 1);
  if (keptServer) memcpy(keptServer, value, length + 1);
  return keptServer;
}

void launchFromFile(const char *path) {
  char value[4096];

  logPrintf(".zarnok filePath: \"%s\"", path);
  platIniRead("ZarnoLaunch", "Server", "", value, sizeof value, path);
  logPrintf("Server set to \"%s\"", value);

  // cleanServer trims in place and the raw value is still wanted for the
  // junk notice, so it works on a copy.
  char *copy = lastingCopy(value);
  char *server = copy ? cleanServer(copy) : nullptr;
  if (!server || !startGame(value, server)) illegalLine(path, value);
}

[[noreturn]] static void invalidLink(const char *link) {
  // Translators: the server link as it was given.
  fatalFormat(askForANewLink, nullptr, N_("Invalid server link:\n\t%s"), link);
}

void launchFromLink(const char *link) {
  logPrintf("server link: \"%s\"", link);
  const char *rest = link + strlen("zarnolaunch:");
  if (strncmp(rest, "//", 2) == 0) rest += 2;

  // Browsers add a "/" and percent-encode quotes and blanks; the address
  // check ends the address at either, so nothing needs decoding.  A link
  // too long to copy is refused: its address could not be checked whole.
  char copy[4096];
  char *server = composeText(copy, sizeof copy, "%s", rest) ? cleanServer(copy) : nullptr;
  if (!server || !startGame(rest, server)) invalidLink(link);
}
