// Lutris.  Lutris keeps each game's settings in games/<slug>-<id>.yml, in
// its configuration folder or (since it moved them) its data folder:
// "game" holds the game's options, among them the wine runner's "prefix",
// and "wine" the runner's, among them "version"; runners/wine.yml beside
// games/ holds the runner's own settings for every game.  Lutris's
// database (pga.db) names the runner of each game; the settings do not.
// Of Lutris's runners only wine has a "prefix" option, so settings with one
// are taken for a wine game, and the database is not read.
//
// The wine runner (runners/wine.py, util/wine/wine.py) takes the game's
// version, else the runner's, else its default, "ge-proton" (which also
// stands for none set): the newest GE-Proton, through umu.  It runs the
// version's bin/wine from <data>/runners/wine/<version> (its default when
// that is not there), or for the names in WINE_PATHS a Wine of the
// system's.  A Proton version (a folder there that holds a proton script,
// or a name that says Proton) it runs through umu (util/wine/proton.py),
// with the version's folder, or its name, as PROTONPATH.
#include "platform/posix/games/records.h"

namespace {

// Each folder of settings, and the data folder of the same Lutris.
const struct {
  const char *games, *data;
} lutrisPlaces[] = {
    {".config/lutris/games", ".local/share/lutris"},
    {".local/share/lutris/games", ".local/share/lutris"},
    {".var/app/net.lutris.Lutris/data/lutris/games", ".var/app/net.lutris.Lutris/data/lutris"},
};

// WINE_PATHS: the versions Lutris finds installed in the system.
const struct {
  const char *version, *wine;
} systemWines[] = {
    {"winehq-devel", "/opt/wine-devel/bin/wine"},
    {"winehq-staging", "/opt/wine-staging/bin/wine"},
    {"wine-development", "/usr/lib/wine-development/wine"},
    {"system", "wine"},
};

const char geProtonLatest[] = "ge-proton";

// A version that stands for none: the setting Lutris writes for its
// default, and the label older Lutris wrote for it.
bool isDefault(const std::string &version) {
  return version.empty() || version == geProtonLatest || version == "GE-Proton (Latest)";
}

// is_proton_version: a Proton, unless it is one of Lutris's own Wine builds
// ("lutris-GE-Proton8-26-x86_64"), which it runs as any other.
bool isProtonName(const std::string &version) {
  return version.find("Proton") != std::string::npos && version.find("lutris") == std::string::npos;
}

}  // namespace

static ManagerStart lutrisStart(ManagerSearch &search, const YamlValues &settings, const std::string &version,
                                const std::string &record, const std::string &prefix, const std::string &data) {
  ManagerStart start{record, {}, {"WINEPREFIX=" + prefix}, {}, "", ""};
  for (const auto &w : systemWines)
    if (version == w.version) start.command = {w.wine, "%e", "%a"};
  if (version == "custom") {
    std::string custom = yamlText(settings, "wine/custom_wine_path");
    start.command = {custom.empty() ? "wine" : custom, "%e", "%a"};
  }
  if (!start.command.empty()) return start;

  std::string folder = data + "/runners/wine/" + version, proton;
  if (isDefault(version))
    proton = "GE-Proton";
  else if (isRegularFile(folder + "/proton"))
    proton = folder;
  else if (isProtonName(version))
    proton = version;
  if (proton.empty()) {
    if (isRegularFile(folder + "/bin/wine")) {
      start.command = {folder + "/bin/wine", "%e", "%a"};
      return start;
    }
    // A version that is not installed: Lutris runs its default instead.
    noteLine(search.note, "Lutris's Wine \"" + version + "\" for \"" + record +
                              "\" is not installed; Lutris would start its default, GE-Proton");
    proton = "GE-Proton";
  }
  std::string umu = findUmu({"/usr/local/share/umu", "/usr/share/umu", "/opt/umu", data + "/runtime/umu"});
  if (umu.empty()) {
    refuse(start, N_("Install umu-launcher, or choose a Wine version for Zarnok in Lutris, then open the link again."),
           // Translators: %s is a Proton version, such as GE-Proton or GE-Proton9-20.
           N_("Lutris starts this game with Proton (%s) through umu, which is not installed."),
           proton.substr(proton.rfind('/') + 1).c_str());
    return start;
  }
  return umuStart(search, umu, record, prefix, proton, "umu-default");
}

static void lutrisGame(ManagerSearch &search, const std::string &file, const std::string &games,
                       const std::string &data) {
  YamlValues settings, runner;
  if (!readYamlRecord(search, file, settings)) return;
  std::string prefixPath = underHome(yamlText(settings, "game/prefix"), search.home);
  if (prefixPath.empty() || prefixPath[0] != '/') return;
  // The game's version, else the runner's: the record it comes from is
  // the one whose change the launcher watches.
  std::string version = yamlText(settings, "wine/version"), record = file;
  if (isDefault(version)) {
    std::string runners = directoryOf(games) + "/runners/wine.yml";
    if (isRegularFile(runners) && readYamlRecord(search, runners, runner) &&
        !isDefault(yamlText(runner, "wine/version"))) {
      version = yamlText(runner, "wine/version");
      record = runners;
    }
  }
  ManagedPrefix prefix;
  prefix.prefix = prefixPath;
  prefix.start = lutrisStart(search, version == "custom" && record != file ? runner : settings, version, record,
                             prefixPath, data);
  // A version set for the game later overrides the runner's.
  if (record != file) prefix.start.watched.push_back(file);
  listPrefix(search, prefix);
}

void findLutris(ManagerSearch &search) {
  for (const auto &place : lutrisPlaces)
    searchFolder(search, place.games, ".yml", [&](const std::string &file) {
      lutrisGame(search, file, search.home + "/" + place.games, search.home + "/" + place.data);
    });
}
