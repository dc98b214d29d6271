// Finding the Windows game under Wine: the prefixes looked in, the game's
// command read from each as Windows would read it there, and the choice
// among the prefixes that hold the game.
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/common/error.h"
#include "platform/posix/common/expand.h"
#include "platform/posix/common/file.h"
#include "platform/posix/games/games.h"
#include "platform/posix/registry/regstore.h"
#include "platform/posix/wine/game.h"
#include "platform/posix/wine/prefix.h"
#include "platform/posix/wine/starter.h"
#include "platform/posix/wine/winereg.h"

namespace {

void noteLine(PlatNote note, const std::string &line) {
  if (note) note(line.c_str());
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

struct Registry {
  bool read = false;
  std::vector<std::vector<WineValue>> values;
};

// Reads one of the prefix's registry files.  A missing file is an empty
// registry (a prefix Wine has not set up yet); one that cannot be read is
// noted and passed over.
bool readText(const std::string &file, std::string &text, PlatNote note) {
  if (readRegularFile(file.c_str(), text)) return true;
  if (errno != ENOENT)
    noteLine(note, "the Wine prefix's registry \"" + file + "\" cannot be read (error " +
                       std::to_string(errorFromErrno(errno)) + "); skipping it");
  text.clear();
  return false;
}

// The values of keys in a registry file's text; a damaged file is noted and
// passed over.
Registry parse(const std::string &file, const std::string &text, const std::vector<std::string> &keys,
               PlatNote note) {
  Registry registry;
  registry.values.assign(keys.size(), {});
  if (text.empty()) return registry;
  int badLine = 0;
  if (wineRegistryValues(text, keys, registry.values, &badLine) == WINE_REGISTRY_DAMAGED) {
    noteLine(note, "the Wine prefix's registry \"" + file + "\" is damaged at line " +
                       std::to_string(badLine) + "; skipping it");
    registry.values.assign(keys.size(), {});
    return registry;
  }
  registry.read = true;
  return registry;
}

// Whether the text holds name in any letter case.  Most prefixes do not
// hold the game: a registry without its name anywhere in it need not be
// read through, which is most of the cost of a search over many prefixes.
bool mentions(const std::string &text, const char *name) {
  size_t length = strlen(name);
  if (length == 0) return true;
  const unsigned char first = (unsigned char)(name[0] | 0x20);
  const char *p = text.data(), *end = p + text.size();
  for (; p + length <= end; ++p)
    if (((unsigned char)*p | 0x20) == first && strncasecmp(p, name, length) == 0) return true;
  return false;
}

typedef std::vector<std::pair<std::string, std::string>> Variables;

bool lookUp(const Variables &variables, const std::string &name, std::string &value) {
  for (auto it = variables.rbegin(); it != variables.rend(); ++it) {
    if (wineSameName(it->first.c_str(), name.c_str())) {
      value = it->second;
      return true;
    }
  }
  return false;
}

void setVariable(Variables &variables, const std::string &name, const WineValue *value) {
  if (!value) return;
  std::string text = value->type == REG_TYPE_EXPAND_SZ
                         ? expandWindowsVariables(value->text, [&](const std::string &n, std::string &v) {
                             return lookUp(variables, n, v);
                           })
                         : value->text;
  variables.emplace_back(name, text);
}

void setAll(Variables &variables, const std::vector<WineValue> &values) {
  for (const WineValue &value : values) setVariable(variables, value.name, &value);
}

Variables prefixVariables(const Registry &system, const Registry &user) {
  Variables variables;
  const WineValue *root = wineFindValue(system.values[SYSTEM_NT], "SystemRoot");
  std::string systemRoot = root ? root->text : "C:\\windows";
  variables.emplace_back("SystemRoot", systemRoot);
  variables.emplace_back("SystemDrive", systemRoot.substr(0, 2));
  setAll(variables, system.values[SYSTEM_ENVIRONMENT]);
  setAll(variables, user.values[USER_ENVIRONMENT]);
  setAll(variables, user.values[USER_VOLATILE]);
  const std::vector<WineValue> &profiles = system.values[SYSTEM_PROFILES];
  setVariable(variables, "ALLUSERSPROFILE", wineFindValue(profiles, "ProgramData"));
  setVariable(variables, "ProgramData", wineFindValue(profiles, "ProgramData"));
  setVariable(variables, "PUBLIC", wineFindValue(profiles, "Public"));
  const std::vector<WineValue> &folders = system.values[SYSTEM_FOLDERS];
  setVariable(variables, "ProgramFiles", wineFindValue(folders, "ProgramFilesDir"));
  setVariable(variables, "ProgramFiles(x86)", wineFindValue(folders, "ProgramFilesDir (x86)"));
  setVariable(variables, "CommonProgramFiles", wineFindValue(folders, "CommonFilesDir"));
  setVariable(variables, "CommonProgramFiles(x86)", wineFindValue(folders, "CommonFilesDir (x86)"));
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
  struct stat st;
  if (!wineUnixPath(*in->prefix, windowsPath, path) || stat(path.c_str(), &st) != 0 ||
      S_ISDIR(st.st_mode))
    return false;
  in->unixPath = path;
  return true;
}

}  // namespace

int lookInPrefix(const std::string &prefix, const char *key, PlatNote note, std::string &program) {
  std::string classesKey = std::string("Software\\Classes\\") + key;
  std::string systemFile = prefix + "/system.reg", userFile = prefix + "/user.reg";
  std::string systemText, userText;
  readText(systemFile, systemText, note);
  readText(userFile, userText, note);
  std::string name = classesKey.substr(0, classesKey.find('\\', strlen("Software\\Classes\\")));
  name = name.substr(name.rfind('\\') + 1);
  if (!mentions(systemText, name.c_str()) && !mentions(userText, name.c_str())) return PLAT_GAME_NO_COMMAND;
  Registry system = parse(systemFile, systemText,
                          {classesKey, "Software\\Microsoft\\Windows NT\\CurrentVersion",
                           "System\\CurrentControlSet\\Control\\Session Manager\\Environment",
                           "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
                           "Software\\Microsoft\\Windows\\CurrentVersion"},
                          note);
  // A per-user installer's classes are in user.reg, which Wine does not
  // merge into HKEY_CLASSES_ROOT; Windows does, the user's first.
  Registry user = parse(userFile, userText, {classesKey, "Environment", "Volatile Environment"}, note);
  const WineValue *command = wineFindValue(user.values[USER_COMMAND], nullptr);
  if (!command) command = wineFindValue(system.values[SYSTEM_COMMAND], nullptr);
  if (!command) return PLAT_GAME_NO_COMMAND;

  std::string text = command->text;
  if (command->type == REG_TYPE_EXPAND_SZ) {
    Variables variables = prefixVariables(system, user);
    text = expandWindowsVariables(text, [&](const std::string &name, std::string &value) {
      return lookUp(variables, name, value);
    });
  }
  InPrefix in{&prefix, ""};
  std::vector<char> buf(text.size() + 8);
  if (!platCommandProgram(text.c_str(), existsInPrefix, &in, buf.data(), (unsigned long)buf.size()))
    return PLAT_GAME_NO_PROGRAM;
  program = in.unixPath;
  return PLAT_GAME_FOUND;
}

std::vector<WinePlace> winePlaces(PlatNote note, std::vector<std::string> &looked) {
  std::vector<WinePlace> places;
  const char *home = getenv("HOME");
  if (home && home[0] == '/') {
    std::vector<ManagerRecords> records;
    for (const ManagedPrefix &managed : findManagedPrefixes(home, note, &records)) {
      WinePlace place;
      static_cast<ManagedPrefix &>(place) = managed;
      places.push_back(place);
    }
    for (const ManagerRecords &found : records)
      looked.push_back(format(platText(N_("%s: %d Wine prefixes in %s")), found.manager.c_str(),
                              found.prefixes, found.folder.c_str()));
  }
  // The prefix plain Wine uses: $WINEPREFIX, the player's own choice, which
  // may be one a manager keeps too, else ~/.wine.
  std::string player = playerWinePrefix();
  if (player.empty()) return places;
  bool outright = getenv("WINEPREFIX") && *getenv("WINEPREFIX");
  char *real = realpath(player.c_str(), nullptr);
  std::string realPlayer = real ? real : player;
  free(real);
  bool kept = false;
  for (WinePlace &place : places) {
    char *other = realpath(place.prefix.c_str(), nullptr);
    if (other && realPlayer == other) {
      place.chosenOutright = outright;
      kept = true;
    }
    free(other);
  }
  if (!kept) {
    WinePlace place;
    place.prefix = player;
    place.chosenOutright = outright;
    places.push_back(place);
  }
  looked.push_back(format(platText(N_("the Wine prefix %s")), player.c_str()));
  return places;
}

namespace {

struct Candidate {
  const WinePlace *place;
  std::string program;
  struct timespec changed;
};

bool newer(const struct timespec &a, const struct timespec &b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// Whether a comes before b: the player's own $WINEPREFIX outright; then a
// prefix whose manager can start the game; one a manager keeps; the most
// recently changed registry; and the order looked in, which stands when
// none of these tells them apart.
bool before(const Candidate &a, const Candidate &b) {
  if (a.place->chosenOutright != b.place->chosenOutright) return a.place->chosenOutright;
  if (a.place->refusal.empty() != b.place->refusal.empty()) return a.place->refusal.empty();
  if (a.place->manager.empty() != b.place->manager.empty()) return !a.place->manager.empty();
  return newer(a.changed, b.changed);
}

char *copyOf(const std::string &text) { return strdup(text.c_str()); }

}  // namespace

std::string format(const char *format, ...) {
  char text[4096];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

namespace {

std::string named(const WinePlace &place) {
  return "the Wine prefix \"" + place.prefix + "\"" +
         (place.manager.empty() ? "" : " (" + place.manager + ")");
}

}  // namespace

int platFindWineGame(const char *key, PlatWineGame *game, PlatNote note) {
  memset(game, 0, sizeof *game);
  std::vector<std::string> looked;
  std::string registry;
  if (registryFilePath(registry))
    looked.push_back(format(platText(N_("the registry file %s")), registry.c_str()));
  std::vector<WinePlace> places = winePlaces(note, looked);

  std::vector<Candidate> found;
  bool anyCommand = false;
  for (const WinePlace &place : places) {
    std::string program;
    int result = lookInPrefix(place.prefix, key, note, program);
    anyCommand = anyCommand || result != PLAT_GAME_NO_COMMAND;
    if (result != PLAT_GAME_FOUND) continue;
    Candidate candidate{&place, program, {}};
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
  if (!chosen->place->refusal.empty()) {
    game->why = copyOf(chosen->place->refusal);
    game->whyShown = copyOf(chosen->place->refusalShown);
    return PLAT_GAME_REFUSED;
  }
  game->path = copyOf(chosen->program);
  game->prefix = copyOf(chosen->place->prefix);
  if (!chosen->place->manager.empty()) {
    game->manager = copyOf(chosen->place->manager);
    game->command = copyOf(starterText(chosen->place->environment, chosen->place->command));
  }
  return PLAT_GAME_FOUND;
}

bool platIsWinePrefix(const char *folder) {
  struct stat st;
  return stat((std::string(folder) + "/system.reg").c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void platFreeWineGame(PlatWineGame *game) {
  free(game->path);
  free(game->prefix);
  free(game->manager);
  free(game->command);
  free(game->why);
  free(game->whyShown);
  memset(game, 0, sizeof *game);
}
