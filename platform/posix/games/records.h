// What the game managers' readers share: one search's results, reading a
// record file (and telling the log when it cannot), YAML records, listing a
// prefix once.  Each manager's own rules are in the file named for it.
#ifndef ZARNOLAUNCH_POSIX_GAMES_RECORDS_H
#define ZARNOLAUNCH_POSIX_GAMES_RECORDS_H

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/common/file.h"
#include "platform/posix/games/games.h"

// The search through every manager's records, and the manager at hand.
struct ManagerSearch {
  std::string home;     // absolute, without a trailing '/'
  PlatNote note;        // may be null
  std::string manager;  // the manager being searched: its prefixes carry its name
  std::vector<ManagedPrefix> prefixes;
  std::vector<ManagerRecords> found;
  std::set<std::string> listed;  // the manager's prefixes so far, by their real paths
};

// The managers, in the order their prefixes are listed.  findSteam gives
// the first Steam root it found (its real path) to firstRoot, or "".
void findSteam(ManagerSearch &search, std::string &firstRoot);
void findHeroic(ManagerSearch &search, const std::string &steamRoot);
void findLutris(ManagerSearch &search);
void findBottles(ManagerSearch &search);

// The names in a folder, sorted by their bytes; none when it cannot be read.
std::vector<std::string> folderEntries(const std::string &dir);
bool endsWith(const std::string &text, const char *end);
// "~" and "~/..." under home, as Python's os.path.expanduser reads them.
std::string underHome(const std::string &path, const std::string &home);

// Reads a record file of the manager's.  False when it cannot: a missing
// file silently, anything else with a line to note.
bool readRecord(ManagerSearch &search, const std::string &path, std::string &text);
void noteDamaged(ManagerSearch &search, const std::string &path, const std::string &why);
void noteSkipped(ManagerSearch &search, const std::string &path, const std::string &why);

// Marks a prefix as one whose manager cannot pass an address: why (an
// English format, marked N_, and its arguments) and what to do (next).
void refuse(ManagedPrefix &prefix, const char *next, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// Lists a prefix of the manager's: only when its folder exists and it is
// not listed already (two records naming one prefix list it once).
void listPrefix(ManagerSearch &search, const ManagedPrefix &prefix);
// Tells that the manager's records are in folder, with the prefixes listed
// since the search's prefixes numbered before.
void recordsFound(ManagerSearch &search, const std::string &folder, size_t before);
// A folder of records, one a file (or a folder) whose name ends with ending:
// read is called with each one's path, in the order of their names, and
// the folder is told as found.  Nothing when home has no such folder.
void searchFolder(ManagerSearch &search, const std::string &place, const char *ending,
                  const std::function<void(const std::string &path)> &read);

// A YAML record's scalars by their keys, a nested mapping's as "outer/inner"
// ("game/prefix"), as the managers' Python loads them (PyYAML over libyaml).
struct YamlScalar {
  std::string text;
  bool plain;  // unquoted: YAML 1.1 reads true, no, null, 0 ... as such
};
typedef std::map<std::string, YamlScalar> YamlValues;
// False, with a line to note, when it cannot be read or is damaged.
bool readYamlRecord(ManagerSearch &search, const std::string &path, YamlValues &values);
std::string yamlText(const YamlValues &values, const char *key);
// What Python's truth test makes of the value (a missing one is false).
bool yamlTrue(const YamlValues &values, const char *key);

#endif
