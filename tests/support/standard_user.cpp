// The registry as a standard user meets it on Windows since Vista: writes
// through HKEY_CLASSES_ROOT are refused with "access denied", and so are
// deletions of what is there; everything else reaches the build's real
// registry.  Linked with the linker's --wrap in front of the platform's
// calls, into a test build of the launcher only.  Neither Wine nor the
// stand-in registry has permissions to refuse with.
#include "platform/platform.h"

extern "C" {

long __real_platRegCreateKey(unsigned long root, const char *path, PlatKeyHandle *key);
long __real_platRegDeleteKey(unsigned long root, const char *path);
long __real_platRegDeleteValue(unsigned long root, const char *path, const char *name);

long __wrap_platRegCreateKey(unsigned long root, const char *path, PlatKeyHandle *key) {
  if (root == REG_ROOT_CLASSES_ROOT) return PLAT_ERROR_ACCESS_DENIED;
  return __real_platRegCreateKey(root, path, key);
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
