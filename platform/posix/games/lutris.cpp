// Lutris.  Lutris keeps each game's settings in games/<slug>-<id>.yml, in
// its configuration folder or (since it moved them) its data folder:
// "game" holds the game's options, among them the wine runner's "prefix",
// and "wine" the runner's, among them "version".  Lutris's database
// (pga.db) names the runner of each game; the settings do not.  Of Lutris's
// runners only wine has a "prefix" option, so settings with one are taken
// for a wine game, and the database is not read.
//
// The wine runner (runners/wine.py, util/wine/wine.py) runs the version's
// bin/wine from <data>/runners/wine/<version>, or for the names in
// WINE_PATHS a Wine of the system's.  A Proton version it runs through its
// own helper, umu (util/wine/proton.py), which the launcher cannot hand an
// address to.
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
    {"", "wine"},  // no version named: the Wine on PATH
};

}  // namespace

// is_proton_version: a Proton, unless it is one of Lutris's own Wine builds
// ("lutris-GE-Proton8-26-x86_64"), which it runs as any other.
static bool isProton(const std::string &version) {
  return version.find("Proton") != std::string::npos && version.find("lutris") == std::string::npos;
}

static std::string lutrisWine(const YamlValues &settings, const std::string &version,
                              const std::string &data) {
  for (const auto &w : systemWines)
    if (version == w.version) return w.wine;
  if (version == "custom") {
    std::string custom = yamlText(settings, "wine/custom_wine_path");
    return custom.empty() ? "wine" : custom;
  }
  return data + "/runners/wine/" + version + "/bin/wine";
}

static void lutrisGame(ManagerSearch &search, const std::string &file, const std::string &data) {
  YamlValues settings;
  if (!readYamlRecord(search, file, settings)) return;
  std::string prefixPath = underHome(yamlText(settings, "game/prefix"), search.home);
  if (prefixPath.empty() || prefixPath[0] != '/') return;
  std::string version = yamlText(settings, "wine/version");
  ManagedPrefix prefix;
  prefix.record = file;
  prefix.prefix = prefixPath;
  if (isProton(version)) {
    refuse(prefix, N_("In Lutris, choose a Wine version for Zarnok instead of Proton, then open the link again."),
           N_("Lutris starts this game with Proton (%s) through its own helper, which cannot pass an "
              "address to the game."),
           version.c_str());
  } else {
    prefix.environment = {"WINEPREFIX=" + prefixPath};
    prefix.command = {lutrisWine(settings, version, data), "%e", "%a"};
  }
  listPrefix(search, prefix);
}

void findLutris(ManagerSearch &search) {
  for (const auto &place : lutrisPlaces)
    searchFolder(search, place.games, ".yml", [&](const std::string &file) {
      lutrisGame(search, file, search.home + "/" + place.data);
    });
}
