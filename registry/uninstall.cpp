#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "registry/registration.h"
#include "registry/registry.h"
#include "report/report.h"

// Removals that find nothing to remove are no failure: a second
// "-uninstall", or one after a partial "-install", has nothing to do.
static void noteRemoval(long error, const char *what) {
  if (error != PLAT_ERROR_FILE_NOT_FOUND) noteFailure(error, what);
}

// The place whose removals are under way, and whether the machine's classes
// refused one: a standard user may not remove a registration for every
// user, and it stays, with a line in the log, but that is no failure of
// this user's uninstall.
static const ClassesPlace *removing;
static bool machineRefused;

static bool removed(long error, const char *what) {
  if (error == PLAT_ERROR_ACCESS_DENIED && removing == &machineClasses) {
    if (!machineRefused)
      logPrintf("The registration for all users stays: an administrator can remove it with "
                "\"ZarnoLaunch.exe -uninstall\".");
    machineRefused = true;
    return false;
  }
  if (error != PLAT_ERROR_FILE_NOT_FOUND) noteFailureAt(removing, error, what);
  return error == PLAT_OK || error == PLAT_ERROR_FILE_NOT_FOUND;
}

// The launcher as an application at one place: its key among the
// classes' Applications, when its command is this launcher's or names a
// program that is gone, its capabilities, and their entry among the
// registered applications while it points to them.  False when the place
// refused.
static bool removeApplication(const ClassesPlace *place, const char *self) {
  if (!self[0]) return true;
  char application[300], key[340];
  classKey(place, applicationKey(self, application, sizeof application), key, sizeof key);
  char command[400];
  snprintf(command, sizeof command, "%s\\shell\\open\\command", key);
  char *text = regReadCommand(place->root, command, nullptr);
  bool theirs = text && platCommandOwner(text, self) == PLAT_OWNER_OTHER;
  free(text);
  if (!theirs && !removed(regDeleteTree(place->root, key), key)) return false;
  char *listed = regReadString(place->root, registeredApplications, applicationName);
  bool ours = listed && platCompareNoCase(listed, capabilitiesKey) == 0;
  free(listed);
  if (ours && !removed(regDeleteValue(place->root, registeredApplications, applicationName),
                       registeredApplications))
    return false;
  // Software\ZarnoLaunch held nothing but the capabilities.
  static const char *const keys[] = {capabilitiesKey, "Software\\ZarnoLaunch"};
  if (!removed(regDeleteTree(place->root, keys[0]), keys[0])) return false;
  return !regKeyIsEmpty(place->root, keys[1]) || removed(regDeleteKey(place->root, keys[1]), keys[1]);
}

// Removes the class entries at one place.  A registration whose open command
// names another program that exists (another copy of the launcher, as a
// rule) is left whole: its file type, the extension that points to it, and
// the content type.
static void removeClasses(const ClassesPlace *place, const char *self) {
  removing = place;
  char key[300];
  char *command = regReadCommand(place->root,
                                 classKey(place, "ZarnoLaunch\\shell\\open\\command", key, sizeof key),
                                 nullptr);
  if (command && platCommandOwner(command, self) == PLAT_OWNER_OTHER) {
    logPrintf("Another copy of ZarnoLaunch is registered; leaving it: \"%s\"", command);
    free(command);
    return;
  }
  free(command);
  classKey(place, "ZarnoLaunch", key, sizeof key);
  if (!removed(regDeleteTree(place->root, key), key)) return;

  // The extension is ours only while it points to our file type; our name
  // in its "Open with" list is ours.  The list and the key go only when
  // nothing else (another program's entry, say) is left in them.
  classKey(place, ".zarnok", key, sizeof key);
  char *type = regReadString(place->root, key, nullptr);
  bool ours = type && platCompareNoCase(type, "ZarnoLaunch") == 0;
  free(type);
  if (ours && !removed(regDeleteValue(place->root, key, nullptr), key)) return;
  char list[300];
  classKey(place, ".zarnok\\OpenWithProgids", list, sizeof list);
  if (!removed(regDeleteValue(place->root, list, "ZarnoLaunch"), list)) return;
  const char *const emptied[] = {list, key};
  for (const char *path : emptied)
    if (regKeyIsEmpty(place->root, path) && !removed(regDeleteKey(place->root, path), path)) return;
  if (!removeApplication(place, self)) return;

  classKey(place, mimeKey, key, sizeof key);
  if (!removed(regDeleteTree(place->root, key), key)) return;
  // In the user's own classes "-install" made the parents of what it wrote,
  // and they go again once empty.  The machine's are Windows' own (its MIME
  // database, its Applications and RegisteredApplications), even where they
  // happen to be empty, as in a new Wine prefix.
  if (place != &userClasses) return;
  static const char *const chains[][3] = {
      {"Software\\Classes\\MIME\\Database\\Content Type", "Software\\Classes\\MIME\\Database",
       "Software\\Classes\\MIME"},
      {"Software\\Classes\\Applications", nullptr, nullptr},
      {"Software\\RegisteredApplications", nullptr, nullptr}};
  for (const auto &chain : chains)
    for (const char *parent : chain)
      if (!parent || !regKeyIsEmpty(place->root, parent) ||
          !removed(regDeleteKey(place->root, parent), parent))
        break;
}

// Navigator's helper entries that name this launcher.  The numbered viewer
// list keeps its TYPEn entry: Navigator reads the list up to the first
// missing number, so a hole would hide every entry after it.
static void removeNavigator(const char *self) {
  char *suffix = regReadString(HKCU, navigatorSuffixes, contentType);
  if (suffix && strcmp(suffix, "zarnok") == 0)
    noteRemoval(regDeleteValue(HKCU, navigatorSuffixes, contentType), navigatorSuffixes);
  free(suffix);
  if (!self[0]) return;
  char *viewer = regReadString(HKCU, navigatorViewers, contentType);
  if (viewer && platIsSelf(viewer, self))
    noteRemoval(regDeleteValue(HKCU, navigatorViewers, contentType), navigatorViewers);
  free(viewer);
  noteRemoval(regDeleteValue(HKCU, navigatorTrusted, self), navigatorTrusted);
}

void uninstall(void) {
  logPrintf("Running -uninstall logic.");
  // A launcher in a temporary folder was registered as its copy: it takes
  // away that copy's registration, then the copy, as the copy itself does.
  char copy[sizeof modulePathCache];
  int where = platLauncherCopy(modulePath(), copy, sizeof copy);
  if (where == PLAT_COPY_TO) memcpy(modulePathCache, copy, sizeof copy);
  const char *self = modulePath();
  // The user's own classes first: until they are gone, Windows shows them
  // through HKEY_CLASSES_ROOT in place of the machine's.  Each place is
  // removed directly, as it was written.
  removeClasses(&userClasses, self);
  removeClasses(&machineClasses, self);
  if (regKeyExists(HKCU, navigatorKey)) removeNavigator(self);
  platDesktopUninstall(self, logLine, noteRemoval);
  if (where != PLAT_COPY_NONE) noteRemoval(platRemoveFile(self), self);
  // Translators: the registry key or file that could not be removed, and
  // the Windows error code.
  reportFirstFailure(N_("ZarnoLaunch could not unregister itself: removing \"%s\" failed (error %ld)."));
}
