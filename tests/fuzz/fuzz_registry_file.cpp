// The registry file's text on any input.  What parses is written out again
// byte for byte; after an edit (picked from the input's bytes) it still
// parses, and holds what it held plus the edit.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "platform/posix/registry/regfile.h"

static void same(const RegFile &edited, RegFile &again) {
  if (again.keys.size() != edited.keys.size()) abort();
  for (const RegKey &key : edited.keys) {
    RegKey *other = regFindKey(again, key.path);
    // A parent that no section names is found under the spelling of the
    // first section below it, whatever case the edit used.
    if (!other || other->values.size() != key.values.size()) abort();
    for (const RegValue &v : key.values) {
      const RegValue *w = regFindValue(*other, v.name);
      if (!w || w->name != v.name || w->type != v.type || w->data != v.data) abort();
    }
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string input((const char *)data, size);
  RegFile file;
  if (!regParse(input.data(), input.size(), file)) return 0;
  if (regSerialize(file) != input) abort();

  uint32_t pick = 2166136261u;  // FNV-1a of the input
  for (unsigned char c : input) pick = (pick ^ c) * 16777619u;
  std::string path = file.keys.empty() ? "HKEY_CURRENT_USER\\Fuzz" : file.keys[pick % file.keys.size()].path;
  RegKey &key = regMakeKey(file, path);
  std::string name = key.values.empty() ? "Fuzz" : key.values[(pick >> 8) % key.values.size()].name;
  std::string bytes = std::string("fuzz\n\0\"\\", 8).substr(0, (pick >> 12) % 9);
  unsigned long type = (pick >> 16) % 2 ? REG_TYPE_SZ : REG_TYPE_BINARY;
  switch ((pick >> 20) % 5) {
    case 0:  // a value changed, or a new one
      regSetValue(file, key, name, type, bytes);
      break;
    case 1:
      regSetValue(file, key, "Fuzz " + name, type, bytes);
      break;
    case 2:  // a new subkey, its parent not spelled out
      regSetValue(file, regMakeKey(file, path + "\\Fuzz\\Deeper"), name, type, bytes);
      break;
    case 3:
      regEraseValue(file, key, name);
      break;
    default:
      regEraseKey(file, path);
      break;
  }
  std::string text = regSerialize(file);
  RegFile again;
  if (!regParse(text.data(), text.size(), again)) abort();
  same(file, again);
  if (regSerialize(again) != text) abort();
  return 0;
}
