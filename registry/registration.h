// What "-install" and "-uninstall" share: the names they write and remove,
// the two places class entries can live, and the first failure of a run.
#ifndef ZARNOLAUNCH_REGISTRATION_H
#define ZARNOLAUNCH_REGISTRATION_H

#include <stddef.h>

extern const char contentType[];        // "application/zarnolaunch"
extern const char navigatorKey[];       // Navigator's per-user settings
extern const char navigatorSuffixes[];
extern const char navigatorViewers[];
extern const char navigatorTrusted[];
extern const char mimeKey[];            // the content type's MIME database key
extern const char applicationName[];    // "ZarnoLaunch", as Windows shows the program
extern const char applicationDescription[];
extern const char friendlyTypeName[];   // "Zarnok server link", the file type's name
// Default apps: the launcher's capabilities, and the list that points to
// them; both below the root of a place (HKEY_LOCAL_MACHINE or _CURRENT_USER).
extern const char capabilitiesKey[];    // "Software\\ZarnoLaunch\\Capabilities"
extern const char registeredApplications[];
// The program's key among the classes' Applications, named after the
// launcher's own file ("Applications\\ZarnoLaunch.exe"), in buf.
const char *applicationKey(const char *self, char *buf, size_t size);

// Where class entries live.  A registration for every user goes to the
// machine's classes, HKEY_LOCAL_MACHINE\Software\Classes, and one for the
// current user to the user's, HKEY_CURRENT_USER\Software\Classes, which
// needs no administrator; both are written directly, not through
// HKEY_CLASSES_ROOT, which would send a key the user's classes already hold
// (the ".zarnok" that Explorer's "Open with" leaves there) to the user's
// classes and split a registration for every user between the two.
// HKEY_CLASSES_ROOT, the user's classes over the machine's, is what the
// shell and the launcher read.
struct ClassesPlace {
  unsigned long root;
  const char *prefix;
  const char *rootName;  // for messages: "HKEY_LOCAL_MACHINE\\"
};
extern const ClassesPlace machineClasses;
extern const ClassesPlace userClasses;

// The key path of a class entry at a place, in buf.  Class key names are the
// launcher's own constants, and always fit.
const char *classKey(const ClassesPlace *place, const char *key, char *buf, size_t size);


// Registration goes on past a failure, so that as much as possible is done,
// but the first failure is kept and reported at the end.
void noteFailure(long error, const char *what);
// The same for a key at a place, path being below its root: it is named
// with the root ("HKEY_LOCAL_MACHINE\\Software\\Classes\\.zarnok").
void noteFailureAt(const ClassesPlace *place, long error, const char *path);
// Reports the first failure, if any, with format ("...\"%s\"...%ld...")
// through fatal.
void reportFirstFailure(const char *format);

#endif
