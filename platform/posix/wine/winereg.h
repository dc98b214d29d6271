// Wine's registry files (system.reg, user.reg) in their text form, read as
// Wine's own loader reads them.  Wine's files are only ever read: never
// written, never locked (Wine's server owns them).
#ifndef ZARNOLAUNCH_POSIX_WINEREG_H
#define ZARNOLAUNCH_POSIX_WINEREG_H

#include <string>
#include <vector>

// What a look-up in a Wine registry file found.
enum WineRegistryResult { WINE_VALUE_FOUND, WINE_VALUE_MISSING, WINE_REGISTRY_DAMAGED };

// A string value of a Wine registry file: its name ("" for the key's
// default value), its type (1 REG_SZ, 2 REG_EXPAND_SZ or 7 REG_MULTI_SZ) and
// its text in UTF-8, up to its first NUL.
struct WineValue {
  std::string name;
  unsigned type;
  std::string text;
};

// Reads the text of a Wine registry file ("WINE REGISTRY Version 2", as
// system.reg and user.reg hold it) by Wine's own loading rules, in one pass,
// and gives every string value of each key asked for: values[i] holds key
// i's.  A key is the path below the file's root ("Software\\Classes\\Zarnok");
// key and value names match ignoring case.  A key may appear in several
// sections; a later value of a name wins.  Values that are no strings are
// left out.  Damaged, with the line's number in *badLine: the text is no
// Wine registry file, a key line cannot be read, or a line of a key asked
// for cannot.  Other keys' unreadable lines are passed over, as Wine passes
// over them.  Otherwise WINE_VALUE_FOUND, whether or not any value was.
WineRegistryResult wineRegistryValues(const std::string &text, const std::vector<std::string> &keys,
                                      std::vector<std::vector<WineValue>> &values, int *badLine);
// The value of that name (null: the default value) among values, or null.
const WineValue *wineFindValue(const std::vector<WineValue> &values, const char *name);

// One string value: the text of value name (null for the default value) of
// key.  Missing when there is no such string value.
WineRegistryResult wineRegistryString(const std::string &text, const char *key, const char *name,
                                      std::string &value, int *badLine);

// Whether two names are the same to Wine, which compares key, value and file
// names without regard to case (both in UTF-8).
bool wineSameName(const char *a, const char *b);

#endif
