// What the game managers' readers share: one search's results, reading a
// record file (and telling the log when it cannot), YAML records, listing a
// prefix once.  Each manager's own rules are in the file named for it.
#ifndef ZARNOLAUNCH_POSIX_GAMES_RECORDS_H
#define ZARNOLAUNCH_POSIX_GAMES_RECORDS_H

#include <functional>
#include <map>
#include <memory>
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
// the first Steam installation it found, or null; Heroic starts Proton with
// it (its runtime, its client).
struct SteamInstall;
std::shared_ptr<SteamInstall> findSteam(ManagerSearch &search);
void findHeroic(ManagerSearch &search, const std::shared_ptr<SteamInstall> &steam);
void findLutris(ManagerSearch &search);
void findBottles(ManagerSearch &search);

// umu-run: on PATH, else in the first of folders that holds it (as
// umu-run, or as its script umu_run.py); "" when there is none.
std::string findUmu(const std::vector<std::string> &folders);
// How umu starts a program for the manager searched: in prefix, with
// proton (a folder, or a name umu knows) as an installed folder, under
// gameId; refused where umu would download first.
ManagerStart umuStart(ManagerSearch &search, const std::string &umu, const std::string &record,
                      const std::string &prefix, const std::string &proton, const std::string &gameId);

// The names in a folder, sorted by their bytes; none when it cannot be read.
std::vector<std::string> folderEntries(const std::string &dir);
bool endsWith(const std::string &text, const char *end);
// "~" and "~/..." under home, as Python's os.path.expanduser reads them.
std::string underHome(const std::string &path, const std::string &home);

// A path that a Flatpak app (app, such as "com.valvesoftware.Steam") wrote,
// as the host sees it.  Flatpak keeps such an app's home (its --persist=.)
// in ~/.var/app/<app>: a folder of the home that the app was not granted
// (granted: folders under the home, such as ".steam" or "Games/Heroic",
// ended by a null; or null for none) is there.  A folder the player granted
// besides keeps its own path, so a path is mapped only when the mapped
// folder is there.  "~/" is the home.
std::string outsideSandbox(const std::string &path, const std::string &home, const char *app,
                           const char *const *granted);

// Reads a record file of the manager's.  False when it cannot: a missing
// file silently, anything else with a line to note.  A file larger than
// largest bytes is no record of the manager's (its records are small; a
// huge one would only cost every click) and is passed over with a line.
const size_t largestRecord = 1 << 20;
bool readRecord(ManagerSearch &search, const std::string &path, std::string &text,
                size_t largest = largestRecord);
void noteDamaged(ManagerSearch &search, const std::string &path, const std::string &why);
void noteSkipped(ManagerSearch &search, const std::string &path, const std::string &why);

// Marks a start as one whose manager cannot pass an address: why (an
// English format, marked N_, and its arguments) and what to do (next).
void refuse(ManagerStart &start, const char *next, const char *format, ...)
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

// Records nest a few levels deep; a record nested deeper than this is none
// of a manager's, and is refused before it is parsed any further (libyaml's
// time grows with the square of the depth of nested flow lists).
const int deepestRecord = 32;

// A YAML record's scalars by their keys, a nested mapping's as "outer/inner"
// ("game/prefix"), as the managers' Python loads them (PyYAML over libyaml).
struct YamlScalar {
  std::string text;
  bool plain;  // unquoted: YAML 1.1 reads true, no, null, 0 ... as such
};
typedef std::map<std::string, YamlScalar> YamlValues;
// The text's values; false when it is damaged, with why ("line 3: ...").
bool yamlValues(const std::string &text, YamlValues &values, std::string &why);
// The same for a record file: false, with a line to note, when it cannot
// be read or is damaged.
bool readYamlRecord(ManagerSearch &search, const std::string &path, YamlValues &values);
std::string yamlText(const YamlValues &values, const char *key);
// What Python's truth test makes of the value (a missing one is false).
bool yamlTrue(const YamlValues &values, const char *key);

// What the launcher reads of a Heroic game's settings in the text of its
// GamesConfig record: empty when they name no Wine.  False, with why, when
// the text is damaged.
struct HeroicSettings {
  std::string winePrefix, bin, type;
  bool umu = true;  // not turned off for the game (disableUMU)
};
bool heroicSettings(const std::string &text, const std::string &appName, HeroicSettings &settings,
                    std::string &why);

#endif
