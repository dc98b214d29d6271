// The program a command runs, read as Windows reads it, and whose a
// registration is: one rule for the registry's open command, the game's
// command in a Wine prefix and the Linux desktop entry, on both systems.
#include <stdlib.h>
#include <string.h>

#include "platform/platform.h"

static bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Whether the name command[0, length), or that name with ".exe" when it has
// no extension, is accepted; the accepted one goes to buf.  A name too long
// for buf is not accepted: cut, it would name some other file.
static bool tryName(const char *command, size_t length, PlatExists exists, void *context, char *buf,
                    unsigned long size) {
  static const char exe[] = ".exe";
  if (length + sizeof exe > size) return false;
  memcpy(buf, command, length);
  buf[length] = '\0';
  if (exists(buf, context)) return true;
  // The extension is looked for in the last component only: "C:\\v1.2\\game"
  // has none.
  const char *base = buf;
  for (const char *p = buf; *p; ++p)
    if (*p == '\\' || *p == '/') base = p + 1;
  if (strchr(base, '.')) return false;
  memcpy(buf + length, exe, sizeof exe);
  if (exists(buf, context)) return true;
  buf[length] = '\0';
  return false;
}

// The text a failed search leaves in buf, cut to fit.
static bool leave(const char *text, size_t length, char *buf, unsigned long size) {
  if (size == 0) return false;
  if (length >= size) length = size - 1;
  memcpy(buf, text, length);
  buf[length] = '\0';
  return false;
}

bool platCommandProgram(const char *command, PlatExists exists, void *context, char *buf,
                        unsigned long size) {
  if (command[0] == '"') {
    // Up to the closing quote; an unclosed one runs to the end, as the
    // Windows start-up code reads it.
    const char *close = strchr(command + 1, '"');
    size_t length = close ? (size_t)(close - command - 1) : strlen(command + 1);
    return tryName(command + 1, length, exists, context, buf, size) ||
           leave(command + 1, length, buf, size);
  }
  // Each blank ends a candidate: "C:\Other", "C:\Other Tools\other.exe",
  // and last the whole command.  So does the end of the command.
  size_t length = strlen(command);
  for (size_t i = 1; i <= length; ++i)
    if (i == length || (isBlank(command[i]) && !isBlank(command[i - 1])))
      if (tryName(command, i, exists, context, buf, size)) return true;
  return leave(command, length, buf, size);
}

static bool isFile(const char *path, void *) { return platIsFile(path); }

int platCommandOwner(const char *command, const char *self) {
  // Room for any path either system takes.
  char *program = (char *)malloc(32768);
  if (!program) return PLAT_OWNER_OTHER;  // unknown: leave it alone
  int owner = !platCommandProgram(command, isFile, nullptr, program, 32768) ? PLAT_OWNER_GONE
              : self[0] && platIsSelf(program, self)                     ? PLAT_OWNER_SELF
                                                                         : PLAT_OWNER_OTHER;
  free(program);
  return owner;
}
