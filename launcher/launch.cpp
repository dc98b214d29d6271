#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "launcher/launcher.h"
#include "platform/platform.h"
#include "registry/registry.h"
#include "report/report.h"

int launchEnabled = 1;

// snprintf into a fixed buffer.  False when the text had to be cut short;
// the buffer then holds the cut, terminated text.
static bool composeText(char *buf, size_t size, const char *format, ...) {
  va_list args;
  va_start(args, format);
  int length = vsnprintf(buf, size, format, args);
  va_end(args);
  return length >= 0 && (size_t)length < size;
}

int runCommand(char *commandLine) { return platStartProcess(commandLine); }

[[noreturn]] static void illegalLine(const char *path, const char *value) {
  // A message too long for its buffer is cut: it is only shown, never used.
  char message[4096];
  composeText(message, sizeof message, "Illegal line in file \"%s\":\n\tServer=%s", path, value);
  fatal(message, nullptr, STYLE_ERROR);
}

void launchFromFile(const char *path) {
  char value[4096];

  logPrintf(".zarnok filePath: \"%s\"", path);
  platIniRead("ZarnoLaunch", "Server", "", value, sizeof value, path);
  logPrintf("Server set to \"%s\"", value);

  // cleanServer trims in place and the raw value is still wanted for the
  // junk notice, so it works on a copy.
  size_t length = strlen(value);
  char *copy = (char *)malloc(length + 1);
  char *server = nullptr;
  if (copy) {
    memcpy(copy, value, length + 1);
    server = cleanServer(copy);
  }
  if (!server) illegalLine(path, value);
  if (strcmp(server, value) != 0)
    logPrintf("Server line had some junk on it--the clean version is \"%s\"", server);

  // An address too long for the game's command line is refused rather than
  // cut: a cut address would send the player to some other server.
  char command[sizeof value];
  if (!composeText(command, sizeof command, "\"%s\" %s", gamePath(), server))
    illegalLine(path, value);

  if (!launchEnabled) return;
  logPrintf("launching this command line: \"%s\"", command);
  if (!runCommand(command)) {
    char message[4096];
    composeText(message, sizeof message, "Couldn't start Zarnok with this command line:\n\t%s", command);
    fatal(message, nullptr, STYLE_ERROR);
  }
}
