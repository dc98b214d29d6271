// Whose a registration is: one rule for the registry's open command and the
// Linux desktop entry, on both systems.
#include <stdlib.h>
#include <string.h>

#include "platform/platform.h"

static bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Looks at the candidate command[0, length): whether it is this launcher or
// an existing file.  A candidate too long to copy is neither.
static void lookAt(const char *command, size_t length, const char *self, bool *isSelf,
                   bool *exists) {
  char *candidate = (char *)malloc(length + 1);
  if (!candidate) return;
  memcpy(candidate, command, length);
  candidate[length] = '\0';
  if (self[0] && platIsSelf(candidate, self))
    *isSelf = true;
  else if (platIsFile(candidate))
    *exists = true;
  free(candidate);
}

int platCommandOwner(const char *command, const char *self) {
  bool isSelf = false, exists = false;
  if (command[0] == '"') {
    // Up to the closing quote; an unclosed one runs to the end, as the
    // Windows start-up code reads it.
    const char *close = strchr(command + 1, '"');
    size_t length = close ? (size_t)(close - command - 1) : strlen(command + 1);
    lookAt(command + 1, length, self, &isSelf, &exists);
  } else {
    // Each blank ends a candidate: "C:\Other", "C:\Other Tools\other.exe",
    // and last the whole command.  So does the end of the command.
    size_t length = strlen(command);
    for (size_t i = 1; i <= length && !isSelf; ++i)
      if (i == length || (isBlank(command[i]) && !isBlank(command[i - 1])))
        lookAt(command, i, self, &isSelf, &exists);
  }
  if (isSelf) return PLAT_OWNER_SELF;
  return exists ? PLAT_OWNER_OTHER : PLAT_OWNER_GONE;
}
