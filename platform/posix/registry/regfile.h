// The stand-in registry's contents, and their REGEDIT4 text form.  No file
// handling here: regstore.cpp reads, locks and replaces the file.
//
// The players' documentation invites users to write this file by hand, so
// an edit changes only what it must.  The text is kept as it was read, one
// piece per line (a value line with its continuation lines), and the keys
// and values point at their lines: a changed value's line is replaced where
// it stands, a removed one is emptied, a new value goes after the last value
// of its key's section, and a new key is appended as a section of its own.
// Comments, blank lines, order, spelling and line ends of every other line
// stay byte for byte.
#ifndef ZARNOLAUNCH_REGFILE_H
#define ZARNOLAUNCH_REGFILE_H

#include <stddef.h>

#include <string>
#include <unordered_map>
#include <vector>

// One line of the file, with its line end; "" once removed.  A line as read
// is a stretch of the text read (no copy of its own, which would double the
// cost of reading a large file); a changed or new line holds its own text.
// Lines are linked in file order, so that a new one can go anywhere while
// every line keeps its index.
struct RegLine {
  size_t from, to;   // in RegFile::original, unless own
  bool own;
  std::string text;  // when own
  size_t next;       // regNoLine after the last
};
const size_t regNoLine = (size_t)-1;

struct RegValue {
  std::string name;  // "" is the key's default value
  unsigned long type;
  std::string data;  // the stored bytes; a REG_SZ counts its terminator
  size_t line;                 // the line that sets it (the last, if several do)
  std::vector<size_t> earlier;  // lines that set it before that one
};

// A key exists when it has a section or one of its subkeys has; a key of
// the second kind (a parent no section names) has no sections.
struct RegKey {
  std::string path;  // "HKEY_CLASSES_ROOT\\A\\B", cased as first written
  std::vector<RegValue> values;
  std::unordered_map<std::string, size_t> byName;  // lower-cased name
  std::vector<size_t> sections;  // its section headers' lines
  size_t lastLine = regNoLine;   // its last section's last value line, or header
};

struct RegFile {
  std::vector<RegKey> keys;  // parents before their children
  std::unordered_map<std::string, size_t> byPath;  // lower-cased path
  std::string original;  // the text read
  std::vector<RegLine> lines;
  size_t firstLine = regNoLine, lastLine = regNoLine;
  std::string lineEnd = "\n";  // the file's own, for new lines
};

// Where the text stopped parsing: the line's number (from 1) and the line
// itself, without its line end.
struct RegParseError {
  int line = 0;
  std::string text;
};

// Root handle value to its name in the file ("HKEY_CURRENT_USER"), or null.
const char *regRootName(unsigned long root);

// "HKEY_CLASSES_ROOT" + "A\\B" with empty levels dropped: the form keys are
// stored and looked up under.
std::string regFullPath(const char *rootName, const char *path);

// Parses REGEDIT4 text; false (out unspecified, error filled when given)
// when it is not.
bool regParse(const char *data, size_t length, RegFile &out, RegParseError *error = nullptr);
// The text again: what was read, with the edits made since.
std::string regSerialize(const RegFile &file);

// True for a root's own path ("HKEY_CLASSES_ROOT"): the roots always exist.
bool regIsRoot(const std::string &fullPath);
RegKey *regFindKey(RegFile &file, const std::string &fullPath);
// Finds or creates the key; a new one gets a section at the end of the
// file, its missing parents none.
RegKey &regMakeKey(RegFile &file, const std::string &fullPath);
const RegValue *regFindValue(const RegKey &key, const std::string &name);
// Sets a value; false when it already held exactly this type and data.
bool regSetValue(RegFile &file, RegKey &key, const std::string &name, unsigned long type,
                 const std::string &data);
// The names (last level only) of the key's direct subkeys, in file order.
std::vector<std::string> regSubkeyNames(const RegFile &file, const std::string &fullPath);
// Removes a key that has no subkeys, or one value; false when there was
// none (or the key still has subkeys).  A parent that existed only through
// the removed key keeps existing: its section takes the removed one's place.
bool regEraseKey(RegFile &file, const std::string &fullPath);
bool regEraseValue(RegFile &file, RegKey &key, const std::string &name);

#endif
