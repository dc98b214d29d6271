// "-install": the file type, its icon and open command, the content type,
// the "zarnolaunch:" URL scheme, Navigator's helper entries and the desktop.
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

// The place the class entries go to this run; see install().
static const ClassesPlace *place = &machineClasses;
// Set when a write to the machine's classes was refused: the rest of that
// pass is skipped, and the registration starts over at the user's place.
static bool refused = false;

// What became of a write or removal at this run's place (path is below its
// root): a refusal of the machine's classes starts the registration over at
// the user's; any other failure is kept for the report.
static void atPlace(long error, const char *path) {
  if (error == PLAT_ERROR_ACCESS_DENIED && place == &machineClasses)
    refused = true;
  else
    noteFailureAt(place, error, path);
}

// Writes one value at this run's place, path being relative to its root.
static void writeValue(const char *path, const char *name, const void *data, unsigned long size,
                       unsigned long type) {
  if (!refused) atPlace(regWriteValue(place->root, path, name, data, size, type), path);
}

static void writeValueString(const char *path, const char *name, const char *text) {
  writeValue(path, name, text, (unsigned long)strlen(text) + 1, REG_TYPE_SZ);
}

// The same for a class entry, key being below the place's classes.
static void writeClass(const char *key, const char *name, const void *data, unsigned long size,
                       unsigned long type) {
  char path[300];
  writeValue(classKey(place, key, path, sizeof path), name, data, size, type);
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

static void removeClassValue(const char *key, const char *name) {
  if (refused) return;
  char path[300];
  classKey(place, key, path, sizeof path);
  long error = regDeleteValue(place->root, path, name);
  if (error != PLAT_ERROR_FILE_NOT_FOUND) atPlace(error, path);
}

// The game's record goes where the registration goes.
static void writeRecord(const char *name, const char *value) {
  if (value)
    writeClassString("ZarnoLaunch", name, value);
  else
    removeClassValue("ZarnoLaunch", name);
}

// What makes the launcher an application to Windows, beyond the file type:
// its name where browsers and "Open with" ask for it (the link type's and
// the program's FriendlyAppName, which browsers show in their "Open ...?"
// question, in place of the file description), its type's name in
// Explorer's Type column, its place in "Open with", and its entry in
// Settings > Default apps (Capabilities, which Windows lists only with an
// ApplicationDescription, and RegisteredApplications, which points to it),
// beside the registration: for every user or for this one.
static void registerApplication(const char *self, const char *openCommand) {
  writeClassString("ZarnoLaunch", "FriendlyTypeName", friendlyTypeName);
  writeClassString("ZarnoLaunch\\shell\\open", "FriendlyAppName", applicationName);
  static const unsigned char none[1] = {0};
  writeClass(".zarnok\\OpenWithProgids", "ZarnoLaunch", none, 0, REG_TYPE_NONE);

  char application[300], key[340];
  applicationKey(self, application, sizeof application);
  writeClassString(application, "FriendlyAppName", applicationName);
  snprintf(key, sizeof key, "%s\\SupportedTypes", application);
  writeClassString(key, ".zarnok", "");
  snprintf(key, sizeof key, "%s\\shell\\open\\command", application);
  writeClassString(key, nullptr, openCommand);

  char icon[300];
  snprintf(icon, sizeof icon, "%s,0", self);
  writeValueString(capabilitiesKey, "ApplicationName", applicationName);
  writeValueString(capabilitiesKey, "ApplicationDescription", applicationDescription);
  writeValueString(capabilitiesKey, "ApplicationIcon", icon);
  static const char *const associations[][2] = {{"FileAssociations", ".zarnok"},
                                                {"URLAssociations", "zarnolaunch"},
                                                {"MIMEAssociations", contentType}};
  for (const auto &association : associations) {
    snprintf(key, sizeof key, "%s\\%s", capabilitiesKey, association[0]);
    writeValueString(key, association[1], "ZarnoLaunch");
  }
  writeValueString(registeredApplications, applicationName, capabilitiesKey);
}

// One pass over the class entries at this run's place, in the order they
// have always been written; it stops at a refusal (see install()).
static void registerClasses(void) {
  writeClassString(".zarnok", nullptr, "ZarnoLaunch");
  writeClassString("ZarnoLaunch", nullptr, "Zarnok Launcher");
  if (refused) return;
  static bool started = false;
  if (!started) logPrintf("Running -install logic.");
  started = true;

  const char *game = gamePath();
  if (gamePathDerived) storeGameRecord(writeRecord);
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
  } else if (!refused) {
    char path[300];
    noteFailureAt(place, PLAT_ERROR_FILE_NOT_FOUND, classKey(place, commandKey, path, sizeof path));
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

  if (self[0]) registerApplication(self, openCommand);
}

bool install(void) {
  // A launcher where it will not stay registers a copy of itself where it
  // will: from then on it is that copy, whose path the registration names.
  // A copy that cannot be made is a failed write, reported at the end; the
  // launcher is registered where it is all the same.
  char copy[sizeof modulePathCache];
  bool copied = false;
  if (platLauncherCopy(modulePath(), copy, sizeof copy) == PLAT_COPY_TO) {
    long error = platCopyLauncher(modulePath(), copy);
    noteFailure(error, copy);
    if (error == PLAT_OK) {
      memcpy(modulePathCache, copy, sizeof copy);
      copied = true;
    }
  }

  // A registration for every user where this user may write one (an
  // administrator), else for this user only: any refusal sends the whole
  // registration to the user's classes, from the first entry on, so that it
  // is never split between the two places.  The game's record goes with it;
  // a game under Wine is looked for again.
  gameLookupForInstall = true;
  registerClasses();
  if (refused) {
    logPrintf("Registering for the current user only.");
    place = &userClasses;
    refused = false;
    registerClasses();
  }

  const char *self = modulePath();
  if (regKeyExists(HKCU, navigatorKey)) {
    writeString(HKCU, navigatorSuffixes, contentType, "zarnok");
    if (self[0]) {
      writeString(HKCU, navigatorViewers, contentType, self);
      writeString(HKCU, navigatorTrusted, self, "Yes");
    }
    addToViewerList();
  }

  if (self[0]) platDesktopInstall(self, logLine, noteFailure);
  if (copied) logPrintf("Registered the launcher's copy \"%s\": it was in a temporary folder.", self);

  // Translators: the registry key or file that could not be written, and
  // the Windows error code.
  reportFirstFailure(N_("ZarnoLaunch could not register itself: writing \"%s\" failed (error %ld)."));
  return copied;
}
