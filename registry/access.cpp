#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "registry/registry.h"
#include "report/report.h"

// Every call opens the key it needs and closes it before returning: no handle
// outlives a call, so nothing is left to clean up on the way out through fatal.

// A registry that cannot be read is no empty one.  Taken for empty, it made a
// launch report a missing game, "-install" fail at its first write without
// naming the file, and "-uninstall" report success while every entry stayed.
// So the first call that meets it ends the run, before anything else is said
// about the game or the registration, with what the platform knows of it.
static long checked(long error) {
  if (error == PLAT_ERROR_BADDB) {
    char problem[1024], shown[2048];
    if (platRegistryProblem(problem, sizeof problem, shown, sizeof shown)) fatalError(problem, shown);
  }
  return error;
}

static long openKey(unsigned long root, const char *path, PlatKeyHandle *key) {
  return checked(platRegOpenKey(root, path, key));
}

bool regKeyExists(unsigned long root, const char *path) {
  PlatKeyHandle key;
  if (openKey(root, path, &key) != PLAT_OK) return false;
  platRegCloseKey(key);
  return true;
}

// The value of an open key as a terminated heap string, and its type.
static char *queryValue(PlatKeyHandle key, const char *name, unsigned long *typeOut) {
  char *text = nullptr;
  unsigned long type = 0;
  unsigned long size = 0;
  if (checked(platRegQueryValue(key, name, &type, nullptr, &size)) == PLAT_OK &&
      size < 0x7FFFFFFFUL) {
    // One byte more than the value claims: a value stored without its
    // terminator, or of size 0, still comes back as a terminated string.
    text = (char *)malloc(size + 1);
    if (text) {
      unsigned long got = size;
      // The value may have changed since its size was asked for: a grown one
      // fails here, a shrunk one reports its new size.
      if (checked(platRegQueryValue(key, name, &type, (unsigned char *)text, &got)) == PLAT_OK &&
          got <= size) {
        text[got] = '\0';
      } else {
        free(text);
        text = nullptr;
      }
    }
  }
  if (text && typeOut) *typeOut = type;
  return text;
}

static char *readValue(unsigned long root, const char *path, const char *name, unsigned long *typeOut) {
  PlatKeyHandle key;
  if (openKey(root, path, &key) != PLAT_OK) return nullptr;
  char *text = queryValue(key, name, typeOut);
  platRegCloseKey(key);
  return text;
}

void regReadStrings(unsigned long root, const char *path, const char *const names[], char *values[],
                    int count) {
  PlatKeyHandle key;
  bool opened = openKey(root, path, &key) == PLAT_OK;
  for (int i = 0; i < count; ++i) values[i] = opened ? queryValue(key, names[i], nullptr) : nullptr;
  if (opened) platRegCloseKey(key);
}

char *regReadString(unsigned long root, const char *path, const char *name) {
  return readValue(root, path, name, nullptr);
}

char *regReadCommand(unsigned long root, const char *path, const char *name) {
  unsigned long type = 0;
  char *text = readValue(root, path, name, &type);
  if (!text || type != REG_TYPE_EXPAND_SZ) return text;
  char *expanded = platExpandEnvironment(text);
  free(text);
  return expanded;
}

long regWriteValue(unsigned long root, const char *path, const char *name,
                   const void *data, unsigned long size, unsigned long type) {
  PlatKeyHandle key;
  long error = checked(platRegCreateKey(root, path, &key));
  if (error != PLAT_OK) return error;
  error = checked(platRegSetValue(key, name, type, (const unsigned char *)data, size));
  platRegCloseKey(key);
  return error;
}

long regWriteString(unsigned long root, const char *path, const char *name,
                    const char *text) {
  return regWriteValue(root, path, name, text, (unsigned long)strlen(text) + 1, REG_TYPE_SZ);
}

long regWriteBinary(unsigned long root, const char *path, const char *name,
                    const void *data, unsigned long size) {
  return regWriteValue(root, path, name, data, size, REG_TYPE_BINARY);
}

bool regKeyIsEmpty(unsigned long root, const char *path) {
  PlatKeyHandle key;
  if (openKey(root, path, &key) != PLAT_OK) return false;
  unsigned long subkeys = 0, values = 0;
  bool empty = checked(platRegCountEntries(key, &subkeys, &values)) == PLAT_OK && subkeys == 0 &&
               values == 0;
  platRegCloseKey(key);
  return empty;
}

// Bottom-up, one subkey at a time: a key can only be deleted once it has no
// subkeys left.  The first subkey is looked up afresh after each deletion, so
// no index goes stale while the key shrinks.
long regDeleteTree(unsigned long root, const char *path) {
  for (;;) {
    PlatKeyHandle key;
    long error = openKey(root, path, &key);
    if (error != PLAT_OK) return error;
    char name[256];  // the longest key name the registry allows, and its end
    error = checked(platRegEnumKey(key, 0, name, sizeof name));
    platRegCloseKey(key);
    if (error == PLAT_ERROR_NO_MORE_ITEMS) break;
    if (error != PLAT_OK) return error;
    size_t length = strlen(path) + 1 + strlen(name) + 1;
    char *child = (char *)malloc(length);
    if (!child) return PLAT_ERROR_OUTOFMEMORY;
    snprintf(child, length, "%s\\%s", path, name);
    error = regDeleteTree(root, child);
    free(child);
    if (error != PLAT_OK) return error;
  }
  return regDeleteKey(root, path);
}

long regDeleteKey(unsigned long root, const char *path) {
  return checked(platRegDeleteKey(root, path));
}

long regDeleteValue(unsigned long root, const char *path, const char *name) {
  return checked(platRegDeleteValue(root, path, name));
}
