// The stand-in registry's contents, and their REGEDIT4 text form.  No file
// handling here: registry.cpp reads, locks and replaces the file.
#ifndef ZARNOLAUNCH_REGFILE_H
#define ZARNOLAUNCH_REGFILE_H

#include <stddef.h>

#include <string>
#include <unordered_map>
#include <vector>

struct RegValue {
  std::string name;  // "" is the key's default value
  unsigned long type;
  std::string data;  // the stored bytes; a REG_SZ counts its terminator
};

struct RegKey {
  std::string path;  // "HKEY_CLASSES_ROOT\\A\\B", cased as first written
  std::vector<RegValue> values;
  std::unordered_map<std::string, size_t> byName;  // lower-cased name
};

struct RegFile {
  std::vector<RegKey> keys;  // in file order; a parent comes before its children
  std::unordered_map<std::string, size_t> byPath;  // lower-cased path
};

// Root handle value to its name in the file ("HKEY_CURRENT_USER"), or null.
const char *regRootName(unsigned long root);

// "HKEY_CLASSES_ROOT" + "A\\B" with empty levels dropped: the form keys are
// stored and looked up under.
std::string regFullPath(const char *rootName, const char *path);

// Parses REGEDIT4 text; false (and out unspecified) when it is not.
bool regParse(const char *data, size_t length, RegFile &out);
std::string regSerialize(const RegFile &file);

RegKey *regFindKey(RegFile &file, const std::string &fullPath);
// Finds or creates the key, creating missing parents first.
RegKey &regMakeKey(RegFile &file, const std::string &fullPath);
const RegValue *regFindValue(const RegKey &key, const std::string &name);
// Sets a value; false when it already held exactly this type and data.
bool regSetValue(RegKey &key, const std::string &name, unsigned long type,
                 const std::string &data);
// The names (last level only) of the key's direct subkeys, in file order.
std::vector<std::string> regSubkeyNames(const RegFile &file, const std::string &fullPath);
// Remove a key (its subkeys are the caller's business) or one value; false
// when there was none.
bool regEraseKey(RegFile &file, const std::string &fullPath);
bool regEraseValue(RegKey &key, const std::string &name);

#endif
