// Registry access, the game's executable, and the "-install" registration.
#ifndef ZARNOLAUNCH_REGISTRY_H
#define ZARNOLAUNCH_REGISTRY_H

#include <stddef.h>

#include "platform/platform.h"

#define HKCR REG_ROOT_CLASSES_ROOT
#define HKCU REG_ROOT_CURRENT_USER
#define HKLM REG_ROOT_LOCAL_MACHINE

// Every call below that meets a registry that cannot be read at all (a
// registry file that does not parse) ends the run through fatal, saying why.

bool regKeyExists(unsigned long root, const char *path);
// A new heap string (the caller frees it), or null.  Always terminated.
char *regReadString(unsigned long root, const char *path, const char *name);
// The same for a command, as the shell reads one: a REG_EXPAND_SZ value
// comes back with its %NAME% references expanded.
char *regReadCommand(unsigned long root, const char *path, const char *name);
// Several values of one key, read through one opening of it: values[i] gets
// what regReadString gives for names[i].  A launch reads its record so,
// rather than looking the registry up again for each value.
void regReadStrings(unsigned long root, const char *path, const char *const names[], char *values[],
                    int count);
long regWriteValue(unsigned long root, const char *path, const char *name,
                   const void *data, unsigned long size, unsigned long type);
long regWriteString(unsigned long root, const char *path, const char *name,
                    const char *text);
long regWriteBinary(unsigned long root, const char *path, const char *name,
                    const void *data, unsigned long size);

// Deletes the key with everything under it.  A missing key gives
// PLAT_ERROR_FILE_NOT_FOUND.
long regDeleteTree(unsigned long root, const char *path);
// Deletes a key that has no subkeys, or one value (name null: the default).
long regDeleteKey(unsigned long root, const char *path);
long regDeleteValue(unsigned long root, const char *path, const char *name);
// True for an existing key with no values and no subkeys.
bool regKeyIsEmpty(unsigned long root, const char *path);

extern char gamePathCache[260];
// True once gamePath has derived the path from the game's open command
// (rather than finding the one an earlier run stored).
extern bool gamePathDerived;
// The game's executable.  Ends the run through fatal when it cannot be found.
const char *gamePath(void);
// What else is known of the game, once gamePath has found it: the Wine
// prefix it runs in and the command its game manager starts it with (both
// null for a game that needs neither).
extern const char *gamePrefix;
extern const char *gameCommand;
// Set by "-install": a game found under Wine is looked for again, rather
// than the one an earlier run stored taken (the player may have moved it,
// or want it from another prefix), and what gamePath finds is not
// remembered through HKEY_CLASSES_ROOT but stored with the registration,
// where that goes.
extern bool gameLookupForInstall;
// Hands each value of what gamePath found, under the key "ZarnoLaunch", to
// write: its name and its text, or null for a value to remove, which an
// earlier run stored and this one did not find.
typedef void (*RecordWrite)(const char *name, const char *value);
void storeGameRecord(RecordWrite write);

extern char modulePathCache[260];
// The launcher's own executable; empty when the system could not tell.
const char *modulePath(void);

// Registers the launcher; true when what it registered is a copy it just
// made of itself (platLauncherCopy), whose path modulePath() gives from then
// on.
bool install(void);
// Removes what install wrote, where it is this launcher's, and the copy of
// the launcher install made.
void uninstall(void);

#endif
