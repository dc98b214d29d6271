// Wine's registry files (system.reg, user.reg) in their text form, read as
// Wine's own loader reads them.  Wine's files are only ever read: never
// written, never locked (Wine's server owns them).
#ifndef ZARNOLAUNCH_POSIX_WINEREG_H
#define ZARNOLAUNCH_POSIX_WINEREG_H

#include <string>
#include <vector>

// What a look-up in a Wine registry file found.
enum WineRegistryResult { WINE_VALUE_FOUND, WINE_VALUE_MISSING, WINE_REGISTRY_DAMAGED };

// Reads a string value from the text of a Wine registry file ("WINE REGISTRY
// Version 2", as system.reg holds it), by Wine's own loading rules.  key is
// the path below the file's root ("Software\\Classes\\Zarnok"), name the
// value's name or null for the key's default value; both match ignoring
// case.  A key may appear in several sections; a later value wins.  Found:
// value holds the text in UTF-8, up to its first NUL.  A value that is no
// string reads as missing.  Damaged, with the line's number in *badLine: the
// text is no Wine registry file, a key line cannot be read, or a line of the
// key asked for cannot.  Other keys' unreadable lines are passed over, as
// Wine passes over them.
WineRegistryResult wineRegistryString(const std::string &text, const char *key, const char *name,
                                      std::string &value, int *badLine);

// Whether two names are the same to Wine, which compares key, value and file
// names without regard to case (both in UTF-8).
bool wineSameName(const char *a, const char *b);

#endif
