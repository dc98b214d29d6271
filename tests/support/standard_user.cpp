// The registry as a user meets it on Windows since Vista, where
// HKEY_CLASSES_ROOT merges the user's own classes over the machine's.
// Through HKEY_CLASSES_ROOT, a key the user's classes hold is read, written
// and deleted there, under HKEY_CURRENT_USER\Software\Classes; any other key
// is the machine's, HKEY_LOCAL_MACHINE\Software\Classes.  A standard user may
// read the machine's keys but not create, change or delete them ("access
// denied"); an administrator (ZARNO_ADMINISTRATOR) may.  Linked with the
// linker's --wrap in front of the platform's calls, into test builds of the
// launcher only.  Neither Wine nor the stand-in registry file has
// permissions to refuse with, nor does Wine merge the user's classes.
#include <stdio.h>

#include "platform/platform.h"

extern "C" {

long __real_platRegOpenKey(unsigned long root, const char *path, PlatKeyHandle *key);
long __real_platRegCreateKey(unsigned long root, const char *path, PlatKeyHandle *key);
long __real_platRegDeleteKey(unsigned long root, const char *path);
long __real_platRegDeleteValue(unsigned long root, const char *path, const char *name);

}  // extern "C"

#ifdef ZARNO_ADMINISTRATOR
static const bool administrator = true;
#else
static const bool administrator = false;
#endif

// A class key's path under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE.
static bool classesPath(const char *path, char *buf, size_t size) {
  int length = snprintf(buf, size, "Software\\Classes\\%s", path);
  return length >= 0 && (size_t)length < size;
}

static bool userHolds(const char *userPath) {
  PlatKeyHandle probe;
  if (__real_platRegOpenKey(REG_ROOT_CURRENT_USER, userPath, &probe) != PLAT_OK) return false;
  platRegCloseKey(probe);
  return true;
}

// Where a key named through HKEY_CLASSES_ROOT is: the user's classes when
// they hold it, else the machine's.  False for a path too long to name.
static bool merged(const char *path, unsigned long *root, char *buf, size_t size) {
  if (!classesPath(path, buf, size)) return false;
  *root = userHolds(buf) ? REG_ROOT_CURRENT_USER : REG_ROOT_LOCAL_MACHINE;
  return true;
}

// What is not there is reported as missing, as Windows does before it looks
// at permissions.
static long refuseIfThere(unsigned long root, const char *path, const char *name, bool value) {
  PlatKeyHandle key;
  if (__real_platRegOpenKey(root, path, &key) != PLAT_OK) return PLAT_ERROR_FILE_NOT_FOUND;
  unsigned long size = 0;
  bool there = !value || platRegQueryValue(key, name, nullptr, nullptr, &size) == PLAT_OK;
  platRegCloseKey(key);
  return there ? PLAT_ERROR_ACCESS_DENIED : PLAT_ERROR_FILE_NOT_FOUND;
}

extern "C" {

long __wrap_platRegOpenKey(unsigned long root, const char *path, PlatKeyHandle *key) {
  char buf[1024];
  if (root == REG_ROOT_CLASSES_ROOT) {
    if (!merged(path, &root, buf, sizeof buf)) return PLAT_ERROR_INVALID_PARAMETER;
    path = buf;
  }
  return __real_platRegOpenKey(root, path, key);
}

long __wrap_platRegCreateKey(unsigned long root, const char *path, PlatKeyHandle *key) {
  char buf[1024];
  if (root == REG_ROOT_CLASSES_ROOT) {
    if (!merged(path, &root, buf, sizeof buf)) return PLAT_ERROR_INVALID_PARAMETER;
    path = buf;
  }
  if (root == REG_ROOT_LOCAL_MACHINE && !administrator) return PLAT_ERROR_ACCESS_DENIED;
  return __real_platRegCreateKey(root, path, key);
}

long __wrap_platRegDeleteKey(unsigned long root, const char *path) {
  char buf[1024];
  if (root == REG_ROOT_CLASSES_ROOT) {
    if (!merged(path, &root, buf, sizeof buf)) return PLAT_ERROR_INVALID_PARAMETER;
    path = buf;
  }
  if (root == REG_ROOT_LOCAL_MACHINE && !administrator) return refuseIfThere(root, path, nullptr, false);
  return __real_platRegDeleteKey(root, path);
}

long __wrap_platRegDeleteValue(unsigned long root, const char *path, const char *name) {
  char buf[1024];
  if (root == REG_ROOT_CLASSES_ROOT) {
    if (!merged(path, &root, buf, sizeof buf)) return PLAT_ERROR_INVALID_PARAMETER;
    path = buf;
  }
  if (root == REG_ROOT_LOCAL_MACHINE && !administrator) return refuseIfThere(root, path, name, true);
  return __real_platRegDeleteValue(root, path, name);
}

}  // extern "C"
