// Heroic Games Launcher.  Heroic keeps each game's settings in
// GamesConfig/<appName>.json (GameConfig in Heroic's backend/game_config.ts):
// an object whose key <appName> holds the settings, beside "version" and
// "explicit".  Heroic's newer layout (backend/config) names the file
// <appName>_<runner>.json and keeps the settings under "settings".  The
// settings' winePrefix is the prefix (a '~' in it stands for the home), and
// wineVersion names the Wine: its "bin" and its "type".  launcher.ts starts
// a Wine with WINEPREFIX set.  A Proton it starts through umu when umu is
// there and the game's settings do not turn it off (isUmuSupported in
// utils/compatibility_layers.ts), else as Steam would, with Proton's
// "waitforexitandrun" verb in Steam's runtime; either way Proton keeps the
// prefix in the pfx folder below winePrefix.  Proton's script requires
// STEAM_COMPAT_CLIENT_INSTALL_PATH: Heroic gives it ~/.steam/steam, the link
// to the Steam root; here it is the root found, or without one the data
// folder itself.
#include <nlohmann/json.hpp>

#include "platform/posix/steam/steam.h"

using nlohmann::json;

namespace {

const char flatpakApp[] = "com.heroicgameslauncher.hgl";
// The folders of the home that Heroic's Flatpak is granted (its Flathub
// manifest's finish-args, and the XDG folders it names there).
const char *const flatpakGranted[] = {
    ".local/share/lutris", ".local/share/applications", ".local/share/umu", ".steam", "Games/Heroic",
    ".var/app/com.valvesoftware.Steam", "Documents", "Desktop", nullptr};

std::string jsonText(const json &object, const char *key) {
  auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : "";
}

// How deep the text's arrays and objects nest, counted before it is parsed
// (the parser, and the freeing of what it made, take a frame a level).
bool nestsDeeper(const std::string &text, int deepest) {
  int depth = 0;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == '[' || c == '{') {
      if (++depth > deepest) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

}  // namespace

bool heroicSettings(const std::string &text, const std::string &appName, HeroicSettings &settings,
                    std::string &why) {
  settings = HeroicSettings();
  if (nestsDeeper(text, deepestRecord)) {
    why = "nested deeper than " + std::to_string(deepestRecord) + " levels";
    return false;
  }
  json record;
  try {
    record = json::parse(text);
  } catch (const json::exception &e) {
    // "[json.exception.parse_error.101] parse error at line 3, column 1: ..."
    why = e.what();
    size_t bracket = why.find("] ");
    if (bracket != std::string::npos) why.erase(0, bracket + 2);
    return false;
  }
  if (!record.is_object()) {
    why = "not a JSON object";
    return false;
  }
  auto found = record.find(appName);
  if (found == record.end() && jsonText(record, "version") == "v1") found = record.find("settings");
  if (found == record.end() || !found->is_object()) return true;
  auto wine = found->find("wineVersion");
  // A native game, or settings that never named a Wine: nothing to start.
  if (wine == found->end() || !wine->is_object()) return true;
  settings.winePrefix = jsonText(*found, "winePrefix");
  settings.bin = jsonText(*wine, "bin");
  settings.type = jsonText(*wine, "type");
  auto umu = found->find("disableUMU");
  settings.umu = umu == found->end() || !umu->is_boolean() || !umu->get<bool>();
  return true;
}

static void heroicGame(ManagerSearch &search, const std::string &file, const std::string &appName,
                       const std::string &config, bool flatpak, const std::shared_ptr<SteamInstall> &steam) {
  std::string text, why;
  HeroicSettings settings;
  if (!readRecord(search, file, text)) return;
  if (!heroicSettings(text, appName, settings, why)) {
    noteDamaged(search, file, why);
    return;
  }
  std::string winePrefix = settings.winePrefix, bin = settings.bin;
  if (winePrefix.empty() || bin.empty()) return;
  // Heroic's getSettings replaces the first '~' in winePrefix with the home.
  size_t tilde = winePrefix.find('~');
  if (tilde != std::string::npos) winePrefix.replace(tilde, 1, search.home);
  if (flatpak) {
    winePrefix = outsideSandbox(winePrefix, search.home, flatpakApp, flatpakGranted);
    bin = outsideSandbox(bin, search.home, flatpakApp, flatpakGranted);
  }

  ManagedPrefix prefix;
  prefix.start.record = file;
  if (settings.type == "wine") {
    prefix.prefix = winePrefix;
    prefix.start.environment = {"WINEPREFIX=" + winePrefix};
    prefix.start.command = {bin, "%e", "%a"};
  } else if (settings.type == "proton") {
    prefix.prefix = winePrefix + "/pfx";
    std::string umu = settings.umu ? findUmu({config + "/tools/runtimes/umu"}) : "";
    if (!umu.empty()) {
      prefix.start = umuStart(search, umu, file, winePrefix, directoryOf(bin), "umu-0");
    } else {
      std::vector<std::string> toolPaths;
      ManagerStart &start = prefix.start;
      steamToolCommand(steam.get(), search, directoryOf(bin), start.command, toolPaths, start.watched);
      start.command.insert(start.command.end(), {"%e", "%a"});
      // And what Heroic sets for a game not from Steam (setupWineEnvVars):
      // no app id, its own game id for Proton's log, and the game's folder.
      start.environment = {"STEAM_COMPAT_DATA_PATH=" + winePrefix,
                           "STEAM_COMPAT_CLIENT_INSTALL_PATH=" + (steam ? steam->root : winePrefix),
                           "STEAM_COMPAT_APP_ID=0", "SteamAppId=0", "SteamGameId=heroic-" + appName};
      prefix.startFor = [start](const std::string &program) {
        ManagerStart own = start;
        own.environment.push_back("STEAM_COMPAT_INSTALL_PATH=" + directoryOf(program));
        return own;
      };
    }
  } else {
    // "crossover" (a CrossOver bottle, CX_BOTTLE) and "toolkit" (Apple's
    // Game Porting Toolkit) are Heroic's macOS Wines; no Linux prefix.
    noteSkipped(search, file,
                "names a Wine of type \"" + settings.type + "\", which this launcher cannot start");
    return;
  }
  listPrefix(search, prefix);
}

void findHeroic(ManagerSearch &search, const std::shared_ptr<SteamInstall> &steam) {
  const struct {
    const char *config;
    bool flatpak;
  } places[] = {{".config/heroic", false}, {".var/app/com.heroicgameslauncher.hgl/config/heroic", true}};
  for (const auto &place : places) {
    std::string config = search.home + "/" + place.config;
    searchFolder(search, std::string(place.config) + "/GamesConfig", ".json", [&](const std::string &file) {
      std::string name = file.substr(file.rfind('/') + 1);
      heroicGame(search, file, name.substr(0, name.size() - 5), config, place.flatpak, steam);
    });
  }
}
