// What "-install" and "-uninstall" share: the names they write and remove,
// the two places class entries can live, and the first failure of a run.
#include "registry/registration.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "registry/registry.h"
#include "report/report.h"

const char contentType[] = "application/zarnolaunch";
const char navigatorKey[] = "Software\\Netscape\\Netscape Navigator";
const char navigatorSuffixes[] = "Software\\Netscape\\Netscape Navigator\\Suffixes";
const char navigatorViewers[] = "Software\\Netscape\\Netscape Navigator\\Viewers";
const char navigatorTrusted[] =
    "Software\\Netscape\\Netscape Navigator\\User Trusted External Applications";
const char mimeKey[] = "MIME\\Database\\Content Type\\application/zarnolaunch";
const char applicationName[] = "ZarnoLaunch";
const char applicationDescription[] =
    "Opens Zarnok server links and .zarnok files, and starts Zarnok on that server.";
const char friendlyTypeName[] = "Zarnok server link";
const char capabilitiesKey[] = "Software\\ZarnoLaunch\\Capabilities";
const char registeredApplications[] = "Software\\RegisteredApplications";

const char *applicationKey(const char *self, char *buf, size_t size) {
  const char *name = self;
  for (const char *p = self; *p; ++p)
    if (*p == '\\' || *p == '/') name = p + 1;
  snprintf(buf, size, "Applications\\%s", name);
  return buf;
}

const ClassesPlace machineClasses = {HKLM, "Software\\Classes\\", "HKEY_LOCAL_MACHINE\\"};
const ClassesPlace userClasses = {HKCU, "Software\\Classes\\", "HKEY_CURRENT_USER\\"};

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

void noteFailureAt(const ClassesPlace *place, long error, const char *path) {
  if (error == PLAT_OK) return;
  char named[400];
  snprintf(named, sizeof named, "%s%s", place->rootName, path);
  noteFailure(error, named);
}

void reportFirstFailure(const char *format) {
  if (firstError == PLAT_OK) return;
  fatalFormat(N_("Try again. If it fails again, restart the computer and try once more."), nullptr,
              format, firstErrorKey, firstError);
}
