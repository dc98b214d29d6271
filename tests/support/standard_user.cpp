// The registry as a standard user meets it on Windows since Vista, where
// HKEY_CLASSES_ROOT merges the user's own classes over the machine's: a key
// opened for writing through it that the user's classes hold is opened
// there, under HKEY_CURRENT_USER; any other key is new in, or already in,
// the machine's classes, and refused with "access denied".  Deletions of
// what is there are refused too; everything else reaches the build's real
// registry.  Linked with the linker's --wrap in front of the platform's
// calls, into a test build of the launcher only.  Neither Wine nor the
// stand-in registry has permissions to refuse with.
#include <stdio.h>

#include "platform/platform.h"

extern "C" {

long __real_platRegCreateKey(unsigned long root, const char *path, PlatKeyHandle *key);
long __real_platRegDeleteKey(unsigned long root, const char *path);
long __real_platRegDeleteValue(unsigned long root, const char *path, const char *name);

long __wrap_platRegCreateKey(unsigned long root, const char *path, PlatKeyHandle *key) {
  if (root != REG_ROOT_CLASSES_ROOT) return __real_platRegCreateKey(root, path, key);
  char user[1024];
  int length = snprintf(user, sizeof user, "Software\\Classes\\%s", path);
  if (length < 0 || (size_t)length >= sizeof user) return PLAT_ERROR_INVALID_PARAMETER;
  PlatKeyHandle probe;
  if (platRegOpenKey(REG_ROOT_CURRENT_USER, user, &probe) != PLAT_OK) return PLAT_ERROR_ACCESS_DENIED;
  platRegCloseKey(probe);
  return __real_platRegCreateKey(REG_ROOT_CURRENT_USER, user, key);
}

// What is not there is reported as missing, as Windows does before it looks
// at permissions.
static long refuseIfThere(unsigned long root, const char *path, const char *name, bool value) {
  PlatKeyHandle key;
  if (platRegOpenKey(root, path, &key) != PLAT_OK) return PLAT_ERROR_FILE_NOT_FOUND;
  unsigned long size = 0;
  bool there = !value || platRegQueryValue(key, name, nullptr, nullptr, &size) == PLAT_OK;
  platRegCloseKey(key);
  return there ? PLAT_ERROR_ACCESS_DENIED : PLAT_ERROR_FILE_NOT_FOUND;
}

long __wrap_platRegDeleteKey(unsigned long root, const char *path) {
  if (root == REG_ROOT_CLASSES_ROOT) return refuseIfThere(root, path, nullptr, false);
  return __real_platRegDeleteKey(root, path);
}

long __wrap_platRegDeleteValue(unsigned long root, const char *path, const char *name) {
  if (root == REG_ROOT_CLASSES_ROOT) return refuseIfThere(root, path, name, true);
  return __real_platRegDeleteValue(root, path, name);
}

}  // extern "C"
