#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "registry/registration.h"
#include "registry/registry.h"
#include "report/report.h"

char modulePathCache[260];

const char *modulePath(void) {
  if (!modulePathCache[0] && !platModulePath(modulePathCache, sizeof modulePathCache))
    modulePathCache[0] = '\0';
  return modulePathCache;
}

const char contentType[] = "application/zarnolaunch";
const char navigatorKey[] = "Software\\Netscape\\Netscape Navigator";
const char navigatorSuffixes[] = "Software\\Netscape\\Netscape Navigator\\Suffixes";
const char navigatorViewers[] = "Software\\Netscape\\Netscape Navigator\\Viewers";
const char navigatorTrusted[] =
    "Software\\Netscape\\Netscape Navigator\\User Trusted External Applications";
const char mimeKey[] = "MIME\\Database\\Content Type\\application/zarnolaunch";

const ClassesPlace machineClasses = {HKCR, ""};
const ClassesPlace userClasses = {HKCU, "Software\\Classes\\"};

const char *classKey(const ClassesPlace *place, const char *key, char *buf, size_t size) {
  snprintf(buf, size, "%s%s", place->prefix, key);
  return buf;
}

static long firstError = PLAT_OK;
static const char *firstErrorKey = "";

// what may be a caller's buffer, and a desktop file's path may be long: the
// name is kept whole, on the heap, until the run ends.
void noteFailure(long error, const char *what) {
  if (error != PLAT_OK && firstError == PLAT_OK) {
    firstError = error;
    size_t length = strlen(what);
    char *copy = (char *)malloc(length + 1);
    if (copy) {
      memcpy(copy, what, length + 1);
      firstErrorKey = copy;
    }
  }
}

void reportFirstFailure(const char *format) {
  if (firstError == PLAT_OK) return;
  // The message is only shown; a name too long for it is cut, not lost.
  char message[4096];
  snprintf(message, sizeof message, format, firstErrorKey, firstError);
  fatal(message, nullptr, STYLE_ERROR);
}

// The place the class entries go to this run; see install().
static const ClassesPlace *place = &machineClasses;

// Writes one class entry at this run's place; a failure is kept for the
// report, under the key's path at that place.
static void writeClass(const char *key, const char *name, const void *data, unsigned long size,
                       unsigned long type) {
  char path[300];
  classKey(place, key, path, sizeof path);
  noteFailure(regWriteValue(place->root, path, name, data, size, type), path);
}

static void writeClassString(const char *key, const char *name, const char *text) {
  writeClass(key, name, text, (unsigned long)strlen(text) + 1, REG_TYPE_SZ);
}

static void writeString(unsigned long root, const char *key, const char *name, const char *text) {
  noteFailure(regWriteString(root, key, name, text), key);
}

// Adds the content type to Navigator's numbered viewer list unless it is
// listed already; the first missing TYPEn is the free slot.
static void addToViewerList(void) {
  for (unsigned long n = 0;; ++n) {
    char name[32];
    snprintf(name, sizeof name, "TYPE%lu", n);
    char *listed = regReadString(HKCU, navigatorViewers, name);
    if (!listed) {
      writeString(HKCU, navigatorViewers, name, contentType);
      return;
    }
    bool ours = platCompareNoCase(listed, contentType) == 0;
    free(listed);
    if (ours) return;
  }
}

void install(void) {
  // Since Vista a new key written through HKEY_CLASSES_ROOT lands in the
  // machine's classes, which a standard user may not write.  The first
  // refusal sends every class entry to the user's own classes instead.
  long error = regWriteString(HKCR, ".zarnok", nullptr, "ZarnoLaunch");
  if (error == PLAT_ERROR_ACCESS_DENIED) {
    logPrintf("Registering for the current user only.");
    place = &userClasses;
    writeClassString(".zarnok", nullptr, "ZarnoLaunch");
  } else {
    noteFailure(error, ".zarnok");
  }
  writeClassString("ZarnoLaunch", nullptr, "Zarnok Launcher");
  logPrintf("Running -install logic.");

  // gamePath stores a derived path through HKEY_CLASSES_ROOT, which Windows
  // sends to the user's classes once they hold the key; the per-user
  // registration writes it there itself, so as not to rely on that merge.
  const char *game = gamePath();
  if (place != &machineClasses && gamePathDerived)
    writeClassString("ZarnoLaunch", "Path to Zarnok", game);
  char *icon = regReadString(HKCR, "Zarnok\\DefaultIcon", nullptr);
  writeClassString("ZarnoLaunch\\DefaultIcon", nullptr, icon ? icon : game);
  free(icon);

  // Without its own path the launcher cannot name itself in the commands;
  // that counts as a failed write of the open command.
  static const char commandKey[] = "ZarnoLaunch\\shell\\open\\command";
  const char *self = modulePath();
  char openCommand[520];
  if (self[0]) {
    snprintf(openCommand, sizeof openCommand, "\"%s\" \"%%1\"", self);
    writeClassString(commandKey, nullptr, openCommand);
  } else {
    char path[300];
    noteFailure(PLAT_ERROR_FILE_NOT_FOUND, classKey(place, commandKey, path, sizeof path));
  }

  // The shell reads the extension of a content type from "Extension".
  writeClassString(mimeKey, "Extension", ".zarnok");

  static const unsigned char editFlags[4] = {0x00, 0x00, 0x01, 0x00};
  writeClass("ZarnoLaunch", "editflags", editFlags, sizeof editFlags, REG_TYPE_BINARY);

  // The file type doubles as the "zarnolaunch:" URL scheme, with the same
  // icon and open command: Windows finds a scheme's key by its name, and key
  // names ignore case.  A separate key would have to be "zarnok" for the
  // short scheme, and that name is the game installation's own key.
  writeClassString("ZarnoLaunch", "URL Protocol", "");

  if (regKeyExists(HKCU, navigatorKey)) {
    writeString(HKCU, navigatorSuffixes, contentType, "zarnok");
    if (self[0]) {
      writeString(HKCU, navigatorViewers, contentType, self);
      writeString(HKCU, navigatorTrusted, self, "Yes");
    }
    addToViewerList();
  }

  if (self[0]) platDesktopInstall(self, logLine, noteFailure);

  reportFirstFailure("ZarnoLaunch could not register itself: writing \"%s\" failed (error %ld).");
}
