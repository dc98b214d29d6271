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

// Where class entries go: HKEY_CLASSES_ROOT itself, or the current user's
// own classes under HKEY_CURRENT_USER, which Windows merges into
// HKEY_CLASSES_ROOT for that user and which needs no administrator.
struct ClassesPlace {
  unsigned long root;
  const char *prefix;
};
extern const ClassesPlace machineClasses;
extern const ClassesPlace userClasses;

// The key path of a class entry at a place, in buf.  Class key names are the
// launcher's own constants, and always fit.
const char *classKey(const ClassesPlace *place, const char *key, char *buf, size_t size);

// Registration goes on past a failure, so that as much as possible is done,
// but the first failure is kept and reported at the end.
void noteFailure(long error, const char *what);
// Reports the first failure, if any, with format ("...\"%s\"...%ld...")
// through fatal.
void reportFirstFailure(const char *format);

#endif
