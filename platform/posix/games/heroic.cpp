// Heroic Games Launcher.  Heroic keeps each game's settings in
// GamesConfig/<appName>.json (GameConfig in Heroic's backend/game_config.ts):
// an object whose key <appName> holds the settings, beside "version" and
// "explicit".  Heroic's newer layout (backend/config) names the file
// <appName>_<runner>.json and keeps the settings under "settings".  The
// settings' winePrefix is the prefix (a '~' in it stands for the home), and
// wineVersion names the Wine: its "bin" and its "type".  launcher.ts starts
// a Wine with WINEPREFIX set, and a Proton with STEAM_COMPAT_DATA_PATH set
// and its "run" verb; Proton keeps its prefix in the pfx folder below the
// data path.  Proton's script also requires STEAM_COMPAT_CLIENT_INSTALL_PATH:
// Heroic gives it ~/.steam/steam, the link to the Steam root; here it is the
// root found, or without one the data path itself.
#include <nlohmann/json.hpp>

#include "platform/posix/games/records.h"

using nlohmann::json;

static std::string jsonText(const json &object, const char *key) {
  auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : "";
}

static void heroicGame(ManagerSearch &search, const std::string &file, const std::string &appName,
                       const std::string &steamRoot) {
  std::string text;
  if (!readRecord(search, file, text)) return;
  json record;
  try {
    record = json::parse(text);
  } catch (const json::exception &e) {
    // "[json.exception.parse_error.101] parse error at line 3, column 1: ..."
    std::string why = e.what();
    size_t bracket = why.find("] ");
    noteDamaged(search, file, bracket == std::string::npos ? why : why.substr(bracket + 2));
    return;
  }
  if (!record.is_object()) {
    noteDamaged(search, file, "not a JSON object");
    return;
  }
  auto settings = record.find(appName);
  if (settings == record.end() && jsonText(record, "version") == "v1") settings = record.find("settings");
  if (settings == record.end() || !settings->is_object()) return;
  auto wine = settings->find("wineVersion");
  std::string winePrefix = jsonText(*settings, "winePrefix");
  // A native game, or settings that never named a Wine: nothing to start.
  if (wine == settings->end() || !wine->is_object() || winePrefix.empty()) return;
  std::string bin = jsonText(*wine, "bin"), type = jsonText(*wine, "type");
  // Heroic's getSettings replaces the first '~' in winePrefix with the home.
  size_t tilde = winePrefix.find('~');
  if (tilde != std::string::npos) winePrefix.replace(tilde, 1, search.home);
  if (bin.empty()) return;

  ManagedPrefix prefix;
  prefix.record = file;
  if (type == "wine") {
    prefix.prefix = winePrefix;
    prefix.environment = {"WINEPREFIX=" + winePrefix};
    prefix.command = {bin, "%e", "%a"};
  } else if (type == "proton") {
    prefix.prefix = winePrefix + "/pfx";
    prefix.environment = {"STEAM_COMPAT_DATA_PATH=" + winePrefix,
                          "STEAM_COMPAT_CLIENT_INSTALL_PATH=" + (steamRoot.empty() ? winePrefix : steamRoot)};
    prefix.command = {bin, "run", "%e", "%a"};
  } else {
    // "crossover" (a CrossOver bottle, CX_BOTTLE) and "toolkit" (Apple's
    // Game Porting Toolkit) are Heroic's macOS Wines; no Linux prefix.
    noteSkipped(search, file, "names a Wine of type \"" + type + "\", which this launcher cannot start");
    return;
  }
  listPrefix(search, prefix);
}

void findHeroic(ManagerSearch &search, const std::string &steamRoot) {
  for (const char *place : {".config/heroic/GamesConfig",
                            ".var/app/com.heroicgameslauncher.hgl/config/heroic/GamesConfig"})
    searchFolder(search, place, ".json", [&](const std::string &file) {
      std::string name = file.substr(file.rfind('/') + 1);
      heroicGame(search, file, name.substr(0, name.size() - 5), steamRoot);
    });
}
