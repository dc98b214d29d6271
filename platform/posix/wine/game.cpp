// Finding the Windows game under Wine: the prefixes looked in (those the
// game managers keep, and plain Wine's), the game's command read from each
// as Windows would read it there, and the choice among the prefixes that
// hold the game.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/common/expand.h"
#include "platform/posix/common/file.h"
#include "platform/posix/games/games.h"
#include "platform/posix/registry/regstore.h"
#include "platform/posix/wine/prefix.h"
#include "platform/posix/wine/starter.h"
#include "platform/posix/wine/winereg.h"

namespace {

// printf into a string, for the lines of the search.
std::string format(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *format, ...) {
  char text[4096];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// The keys a prefix's registry files are read for, in one pass each: the
// game's command, and what a REG_EXPAND_SZ command may refer to.  Wine gives
// a new process its variables in this order: the machine's and then the
// user's environment from the registry, the profile folders, and the
// program folders (see its set_registry_environment and the functions after
// it).  The program folders are the 64-bit ones, as the shell that would
// open the command sees them.
enum SystemKey { SYSTEM_COMMAND, SYSTEM_NT, SYSTEM_ENVIRONMENT, SYSTEM_PROFILES, SYSTEM_FOLDERS };
enum UserKey { USER_COMMAND, USER_ENVIRONMENT, USER_VOLATILE };
typedef std::vector<std::vector<WineValue>> Keys;

// The values of keys in a registry file's text; a damaged file is noted and
// passed over, as one that holds none of them.
Keys parse(const std::string &file, const std::string &text, const std::vector<std::string> &keys,
           PlatNote note) {
  Keys values(keys.size());
  int badLine = 0;
  if (!text.empty() && wineRegistryValues(text, keys, values, &badLine) == WINE_REGISTRY_DAMAGED) {
    noteLine(note, "the Wine prefix's registry \"" + file + "\" is damaged at line " +
                       std::to_string(badLine) + "; skipping it");
    values.assign(keys.size(), {});
  }
  return values;
}

// Whether the text holds name in any letter case.  Most prefixes do not
// hold the game: a registry without its name anywhere in it need not be
// read through, which is most of the cost of a search over many prefixes.
bool mentions(const std::string &text, const std::string &name) {
  const unsigned char first = (unsigned char)(name[0] | 0x20);
  const char *p = text.data(), *end = p + text.size();
  for (; p + name.size() <= end; ++p)
    if (((unsigned char)*p | 0x20) == first && strncasecmp(p, name.c_str(), name.size()) == 0) return true;
  return false;
}

// A prefix's variables, in the order they were set: a later one of a name
// wins, and names match as Wine matches them.
typedef std::vector<std::pair<std::string, std::string>> Variables;

std::string expand(const Variables &variables, const std::string &text) {
  return expandWindowsVariables(text, [&](const std::string &name, std::string &value) {
    for (auto it = variables.rbegin(); it != variables.rend(); ++it) {
      if (wineSameName(it->first.c_str(), name.c_str())) {
        value = it->second;
        return true;
      }
    }
    return false;
  });
}

void setVariable(Variables &variables, const std::string &name, const WineValue *value) {
  if (value)
    variables.emplace_back(name, value->type == REG_TYPE_EXPAND_SZ ? expand(variables, value->text)
                                                                   : value->text);
}

Variables prefixVariables(const Keys &system, const Keys &user) {
  Variables variables;
  const WineValue *root = wineFindValue(system[SYSTEM_NT], "SystemRoot");
  std::string systemRoot = root ? root->text : "C:\\windows";
  variables.emplace_back("SystemRoot", systemRoot);
  variables.emplace_back("SystemDrive", systemRoot.substr(0, 2));
  for (const std::vector<WineValue> *values :
       {&system[SYSTEM_ENVIRONMENT], &user[USER_ENVIRONMENT], &user[USER_VOLATILE]})
    for (const WineValue &value : *values) setVariable(variables, value.name, &value);
  static const struct {
    const char *variable, *value;
    SystemKey key;
  } folders[] = {{"ALLUSERSPROFILE", "ProgramData", SYSTEM_PROFILES},
                 {"ProgramData", "ProgramData", SYSTEM_PROFILES},
                 {"PUBLIC", "Public", SYSTEM_PROFILES},
                 {"ProgramFiles", "ProgramFilesDir", SYSTEM_FOLDERS},
                 {"ProgramFiles(x86)", "ProgramFilesDir (x86)", SYSTEM_FOLDERS},
                 {"CommonProgramFiles", "CommonFilesDir", SYSTEM_FOLDERS},
                 {"CommonProgramFiles(x86)", "CommonFilesDir (x86)", SYSTEM_FOLDERS}};
  for (const auto &folder : folders)
    setVariable(variables, folder.variable, wineFindValue(system[folder.key], folder.value));
  return variables;
}

struct InPrefix {
  const std::string *prefix;
  std::string unixPath;
};

// A Windows path names the program when it is a file in the prefix.
bool existsInPrefix(const char *windowsPath, void *context) {
  InPrefix *in = (InPrefix *)context;
  std::string path;
  if (!wineUnixPath(*in->prefix, windowsPath, path) || !isRegularFile(path)) return false;
  in->unixPath = path;
  return true;
}

// Reads the game's open command (HKEY_CLASSES_ROOT\key) from one prefix:
// the user's classes (user.reg) first, then the machine's (system.reg), a
// REG_EXPAND_SZ command expanded with the prefix's own variables.  FOUND
// with the Linux path of the program the command names, as Windows would
// read the command there; NO_PROGRAM when that program is not there;
// NO_COMMAND when there is no command (or no readable registry).
int lookInPrefix(const std::string &prefix, const char *key, PlatNote note, std::string &program) {
  std::string classesKey = std::string("Software\\Classes\\") + key;
  std::string systemFile = prefix + "/system.reg", userFile = prefix + "/user.reg";
  std::string systemText, userText;
  readOrPassOver(systemFile, systemText, note, "the Wine prefix's registry");
  readOrPassOver(userFile, userText, note, "the Wine prefix's registry");
  std::string name(key, strcspn(key, "\\"));
  if (!mentions(systemText, name) && !mentions(userText, name)) return PLAT_GAME_NO_COMMAND;
  Keys system = parse(systemFile, systemText,
                      {classesKey, "Software\\Microsoft\\Windows NT\\CurrentVersion",
                       "System\\CurrentControlSet\\Control\\Session Manager\\Environment",
                       "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
                       "Software\\Microsoft\\Windows\\CurrentVersion"},
                      note);
  // A per-user installer's classes are in user.reg, which Wine does not
  // merge into HKEY_CLASSES_ROOT; Windows does, the user's first.
  Keys user = parse(userFile, userText, {classesKey, "Environment", "Volatile Environment"}, note);
  const WineValue *command = wineFindValue(user[USER_COMMAND], nullptr);
  if (!command) command = wineFindValue(system[SYSTEM_COMMAND], nullptr);
  if (!command) return PLAT_GAME_NO_COMMAND;

  std::string text = command->type == REG_TYPE_EXPAND_SZ
                         ? expand(prefixVariables(system, user), command->text)
                         : command->text;
  InPrefix in{&prefix, ""};
  std::vector<char> buf(text.size() + 8);
  if (!platCommandProgram(text.c_str(), existsInPrefix, &in, buf.data(), (unsigned long)buf.size()))
    return PLAT_GAME_NO_PROGRAM;
  program = in.unixPath;
  return PLAT_GAME_FOUND;
}

// A Wine prefix to look for the game in: one a game manager keeps, with
// how that manager starts a program there, or a bare one (no manager) that
// plain Wine starts programs in.
struct WinePlace : ManagedPrefix {
  bool chosenOutright = false;  // $WINEPREFIX: the player's own choice
  bool chosenBefore = false;    // the prefix the launcher chose before
};

// The prefixes to look in, in the order they are looked in; looked gets a
// line for the player for each place looked at.
std::vector<WinePlace> winePlaces(const char *preferred, PlatNote note, std::vector<std::string> &looked) {
  std::vector<WinePlace> places;
  const char *home = getenv("HOME");
  if (home && home[0] == '/') {
    std::vector<ManagerRecords> records;
    for (const ManagedPrefix &managed : findManagedPrefixes(home, note, &records)) {
      places.emplace_back();
      static_cast<ManagedPrefix &>(places.back()) = managed;
    }
    for (const ManagerRecords &found : records) {
      unsigned long n = (unsigned long)found.prefixes;
      // Translators: how many Wine prefixes a game manager's records name.
      std::string count = format(platCountText("%d Wine prefix", "%d Wine prefixes", n), found.prefixes);
      // Translators: a game manager's name (Steam, Lutris...), the folder of
      // its records, and how many Wine prefixes they name ("2 Wine prefixes").
      looked.push_back(format(platText(N_("%s (%s): %s")), found.manager.c_str(), found.folder.c_str(),
                              count.c_str()));
    }
  }
  // The prefix plain Wine uses: $WINEPREFIX, the player's own choice, which
  // may be one a manager keeps too, else ~/.wine.
  std::string player = playerWinePrefix(), playerReal = realPath(player);
  std::string preferredReal = preferred ? realPath(preferred) : "";
  bool outright = getenv("WINEPREFIX") && *getenv("WINEPREFIX"), kept = false;
  for (WinePlace &place : places) {
    std::string real = realPath(place.prefix);
    kept = kept || (!player.empty() && real == playerReal);
    place.chosenOutright = outright && real == playerReal;
    place.chosenBefore = real == preferredReal;
  }
  if (!player.empty() && !kept) {
    places.emplace_back();
    places.back().prefix = player;
    places.back().chosenOutright = outright;
    places.back().chosenBefore = playerReal == preferredReal;
  }
  if (player.empty()) return places;
  // Translators: %s is the Wine prefix's folder.
  looked.push_back(format(platText(N_("the Wine prefix %s")), player.c_str()));
  return places;
}

struct Candidate {
  const WinePlace *place;
  std::string program;
  struct timespec changed;
  ManagerStart start;  // how the place's manager starts this program
};

bool newer(const struct timespec &a, const struct timespec &b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// Whether a comes before b: the player's own $WINEPREFIX outright; then a
// prefix whose manager can start the game; the one chosen before; one a
// manager keeps; the most recently changed registry; and the order looked
// in, which stands when none of these tells them apart.
bool before(const Candidate &a, const Candidate &b) {
  if (a.place->chosenOutright != b.place->chosenOutright) return a.place->chosenOutright;
  if (a.start.refusal.empty() != b.start.refusal.empty()) return a.start.refusal.empty();
  if (a.place->chosenBefore != b.place->chosenBefore) return a.place->chosenBefore;
  if (a.place->manager.empty() != b.place->manager.empty()) return !a.place->manager.empty();
  return newer(a.changed, b.changed);
}

std::string named(const WinePlace &place) {
  return "the Wine prefix \"" + place.prefix + "\"" +
         (place.manager.empty() ? "" : " (" + place.manager + ")");
}

char *copyOf(const std::string &text) { return strdup(text.c_str()); }

// A file as stored with a choice: when it was last changed, its size and
// its inode (a change within the file system's tick of time still changes
// one of them); "-" when it is not there.
std::string fileStamp(const std::string &path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return "-";
  return format("%lld.%09ld:%lld:%llu", (long long)st.st_mtim.tv_sec, (long)st.st_mtim.tv_nsec,
                (long long)st.st_size, (unsigned long long)st.st_ino);
}

// The files a start came from, as stored with it: each one's stamp and
// path, as words of a stored command.
std::string recordStamps(const ManagerStart &start) {
  std::vector<std::string> words;
  if (!start.record.empty()) words = {fileStamp(start.record), start.record};
  for (const std::string &path : start.watched) words.insert(words.end(), {fileStamp(path), path});
  return words.empty() ? "" : starterText({}, words);
}

}  // namespace

int platFindWineGame(const char *key, const char *preferred, PlatWineGame *game, PlatNote note) {
  memset(game, 0, sizeof *game);
  std::vector<std::string> looked;
  std::string registry;
  if (registryFilePath(registry))
    // Translators: %s is the registry file's path.
    looked.push_back(format(platText(N_("the registry file %s")), registry.c_str()));
  std::vector<WinePlace> places = winePlaces(preferred, note, looked);

  std::vector<Candidate> found;
  bool anyCommand = false;
  for (const WinePlace &place : places) {
    std::string program;
    int result = lookInPrefix(place.prefix, key, note, program);
    anyCommand = anyCommand || result != PLAT_GAME_NO_COMMAND;
    if (result != PLAT_GAME_FOUND) continue;
    Candidate candidate{&place, program, {}, place.startFor ? place.startFor(program) : place.start};
    struct stat st;
    if (stat((place.prefix + "/system.reg").c_str(), &st) == 0) candidate.changed = st.st_mtim;
    noteLine(note, "Zarnok is in " + named(place) + ": \"" + program + "\"");
    found.push_back(candidate);
  }

  if (found.empty()) {
    std::string why = platText(N_("Where ZarnoLaunch looked:"));
    for (const std::string &line : looked) why += "\n\t" + line;
    game->whyShown = copyOf(why);
    return anyCommand ? PLAT_GAME_NO_PROGRAM : PLAT_GAME_NO_COMMAND;
  }
  const Candidate *chosen = &found[0];
  for (const Candidate &candidate : found)
    if (before(candidate, *chosen)) chosen = &candidate;
  if (found.size() > 1) noteLine(note, "choosing " + named(*chosen->place));
  const ManagerStart &start = chosen->start;
  if (!start.refusal.empty()) {
    game->why = copyOf(start.refusal);
    game->whyShown = copyOf(start.refusalShown);
    return PLAT_GAME_REFUSED;
  }
  game->path = copyOf(chosen->program);
  game->prefix = copyOf(chosen->place->prefix);
  if (!chosen->place->manager.empty()) {
    game->manager = copyOf(chosen->place->manager);
    game->command = copyOf(starterText(start.environment, start.command));
    std::string stamps = recordStamps(start);
    if (!stamps.empty()) game->record = copyOf(stamps);
  }
  return PLAT_GAME_FOUND;
}

void platFreeWineGame(PlatWineGame *game) {
  free(game->record);
  free(game->path);
  free(game->prefix);
  free(game->manager);
  free(game->command);
  free(game->why);
  free(game->whyShown);
  memset(game, 0, sizeof *game);
}

int platCheckStoredGame(const char *prefix, const char *command, const char *record, char *buf,
                        unsigned long size) {
  std::string why;
  int result = PLAT_STORED_GOOD;
  std::vector<std::string> set, words, none, files;
  bool parsed = command && starterParse(command, set, words);
  if (!isWinePrefix(prefix)) {
    why = std::string("the Wine prefix \"") + prefix + "\" is gone";
    result = PLAT_STORED_GONE;
  } else if (parsed && programPath(words[0]).empty()) {
    why = "\"" + words[0] + "\", which starts Zarnok, is gone";
    result = PLAT_STORED_GONE;
  } else if (record && *record && (!starterParse(record, none, files) || files.size() % 2)) {
    why = "the stored record of the game manager's files is incomplete";
    result = PLAT_STORED_CHANGED;
  } else if (record && *record) {
    // Each a stamp and a path: the programs the command runs first, then
    // the records.
    for (int programs = 1; programs >= 0 && why.empty(); --programs) {
      for (size_t i = 0; i < files.size() && why.empty(); i += 2) {
        const std::string &path = files[i + 1], now = fileStamp(path);
        bool program = parsed && std::find(words.begin(), words.end(), path) != words.end();
        if (program != (programs == 1) || now == files[i]) continue;
        bool gone = now == "-";
        why = "\"" + path + "\"" + (gone && program ? ", which starts Zarnok, is gone" : gone ? " is gone" : " has changed");
        result = gone ? PLAT_STORED_GONE : PLAT_STORED_CHANGED;
      }
    }
  }
  snprintf(buf, size, "%s", why.c_str());
  return result;
}
