#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "registry/registry.h"
#include "report/report.h"

char modulePathCache[260];

const char *modulePath(void) {
  if (!modulePathCache[0] && !platModulePath(modulePathCache, sizeof modulePathCache))
    modulePathCache[0] = '\0';
  return modulePathCache;
}

static const char contentType[] = "application/zarnolaunch";
static const char navigatorKey[] = "Software\\Netscape\\Netscape Navigator";
static const char viewersKey[] = "Software\\Netscape\\Netscape Navigator\\Viewers";

// The registration goes on past a failed write, so that as much as possible
// is in place, but the first failure is kept and reported at the end.
static long firstError = PLAT_OK;
static const char *firstErrorKey = nullptr;

static void noteWrite(long error, const char *key) {
  if (error != PLAT_OK && firstError == PLAT_OK) {
    firstError = error;
    firstErrorKey = key;
  }
}

static void writeString(unsigned long root, const char *key, const char *name, const char *text) {
  noteWrite(regWriteString(root, key, name, text), key);
}

static void noteLine(const char *line) { logPrintf("%s", line); }

// Adds the content type to Navigator's numbered viewer list unless it is
// listed already; the first missing TYPEn is the free slot.
static void addToViewerList(void) {
  for (unsigned long n = 0;; ++n) {
    char name[32];
    snprintf(name, sizeof name, "TYPE%lu", n);
    char *listed = regReadString(HKCU, viewersKey, name);
    if (!listed) {
      writeString(HKCU, viewersKey, name, contentType);
      return;
    }
    bool ours = platCompareNoCase(listed, contentType) == 0;
    free(listed);
    if (ours) return;
  }
}

void install(void) {
  writeString(HKCR, ".zarnok", nullptr, "ZarnoLaunch");
  writeString(HKCR, "ZarnoLaunch", nullptr, "Zarnok Launcher");
  logPrintf("Running -install logic.");

  const char *game = gamePath();
  char *icon = regReadString(HKCR, "Zarnok\\DefaultIcon", nullptr);
  if (icon) {
    writeString(HKCR, "ZarnoLaunch\\DefaultIcon", nullptr, icon);
    free(icon);
  } else {
    writeString(HKCR, "ZarnoLaunch\\DefaultIcon", nullptr, game);
  }

  // Without its own path the launcher cannot name itself in the commands;
  // that counts as a failed write of the open command.
  static const char commandKey[] = "ZarnoLaunch\\shell\\open\\command";
  const char *self = modulePath();
  char openCommand[520];
  if (self[0]) {
    snprintf(openCommand, sizeof openCommand, "\"%s\" \"%%1\"", self);
    writeString(HKCR, commandKey, nullptr, openCommand);
  } else {
    noteWrite(PLAT_ERROR_FILE_NOT_FOUND, commandKey);
  }

  // The shell reads the extension of a content type from "Extension".
  writeString(HKCR, "MIME\\Database\\Content Type\\application/zarnolaunch", "Extension", ".zarnok");

  static const unsigned char editFlags[4] = {0x00, 0x00, 0x01, 0x00};
  noteWrite(regWriteBinary(HKCR, "ZarnoLaunch", "editflags", editFlags, sizeof editFlags),
            "ZarnoLaunch");

  if (regKeyExists(HKCU, navigatorKey)) {
    writeString(HKCU, "Software\\Netscape\\Netscape Navigator\\Suffixes", contentType, "zarnok");
    if (self[0]) {
      writeString(HKCU, viewersKey, contentType, self);
      writeString(HKCU, "Software\\Netscape\\Netscape Navigator\\User Trusted External Applications",
                  self, "Yes");
    }
    addToViewerList();
  }

  if (self[0]) {
    const char *what = nullptr;
    long error = platDesktopInstall(self, noteLine, &what);
    noteWrite(error, what ? what : "");
  }

  if (firstError != PLAT_OK) {
    char message[600];
    snprintf(message, sizeof message,
             "ZarnoLaunch could not register itself: writing \"%s\" failed (error %ld).",
             firstErrorKey, firstError);
    fatal(message, nullptr, STYLE_ERROR);
  }
}
