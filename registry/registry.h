// Registry access, the game's executable, and the "-install" registration.
#ifndef ZARNOLAUNCH_REGISTRY_H
#define ZARNOLAUNCH_REGISTRY_H

#include <stddef.h>

#include "platform/platform.h"

#define HKCR REG_ROOT_CLASSES_ROOT
#define HKCU REG_ROOT_CURRENT_USER

bool regKeyExists(unsigned long root, const char *path);
// A new heap string (the caller frees it), or null.  Always terminated.
char *regReadString(unsigned long root, const char *path, const char *name);
long regWriteValue(unsigned long root, const char *path, const char *name,
                   const void *data, unsigned long size, unsigned long type);
long regWriteString(unsigned long root, const char *path, const char *name,
                    const char *text);
long regWriteBinary(unsigned long root, const char *path, const char *name,
                    const void *data, unsigned long size);

extern char gamePathCache[260];
// The game's executable.  Ends the run through fatal when it cannot be found.
const char *gamePath(void);

extern char modulePathCache[260];
// The launcher's own executable; empty when the system could not tell.
const char *modulePath(void);

void install(void);

#endif
