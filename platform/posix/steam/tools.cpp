// The tools Steam runs Windows programs with, and how it runs them: the
// Proton it uses for an app (config/config.vdf's CompatToolMapping, in
// protontricks' find_steam_compat_tool_app), that Proton's folder (a
// custom tool's compatibilitytool.vdf, or one of Valve's own through
// appcache/appinfo.vdf), and the command its manifest and the manifest of
// the runtime it requires make, as Steam composes them for a non-Steam game
// (steam-runtime-tools' account of the compatibility tool interface), with
// the player's launch options.
#include <stdio.h>
#include <stdlib.h>

#include "platform/posix/steam/steam.h"
#include "platform/posix/wine/prefix.h"
#include "platform/posix/wine/starter.h"

namespace {

// config.vdf holds every setting of the client; players with many games
// and years of history have a few megabytes.
const size_t largestConfig = 64 << 20;
// A tool's manifests are a few lines.
const size_t largestManifest = 64 << 10;
// The section of appinfo.vdf that maps tool names to app ids (app 891390,
// "Steam Play 2.0 Manifests").
const uint32_t steamPlayManifests = 891390;

std::vector<VdfNode> readTextVdf(SteamInstall &steam, const std::string &file, size_t largest) {
  std::string text, why;
  std::vector<VdfNode> nodes;
  if (!isRegularFile(file) || !readRecord(steam.search, file, text, largest)) return nodes;
  if (!vdfParse(text, nodes, why)) noteDamaged(steam.search, file, why);
  return nodes;
}

// The name of the tool Steam runs app id with: the player's choice for it,
// else the player's default (the mapping of "0").  "" when neither is set.
std::string mappedTool(SteamInstall &steam, const std::string &appid) {
  if (!steam.configRead) {
    steam.configRead = true;
    steam.config = readTextVdf(steam, steam.root + "/config/config.vdf", largestConfig);
  }
  const char mappings[] = "InstallConfigStore/Software/Valve/Steam/CompatToolMapping/";
  for (const std::string &id : {appid, std::string("0")}) {
    std::string name = vdfText(steam.config, (mappings + id + "/name").c_str());
    if (!name.empty()) return name;
  }
  return "";
}

// A folder of custom tools: each <tool>/compatibilitytool.vdf (and one in
// the folder itself) names its tool in "compatibilitytools/compat_tools";
// Steam takes the first one of a file that runs Windows programs on Linux.
void readCustomToolsIn(SteamInstall &steam, const std::string &dir) {
  std::vector<std::string> files{dir + "/compatibilitytool.vdf"};
  for (const std::string &name : folderEntries(dir)) files.push_back(dir + "/" + name + "/compatibilitytool.vdf");
  for (const std::string &file : files) {
    std::vector<VdfNode> nodes = readTextVdf(steam, file, largestManifest);
    const VdfNode *tools = vdfFindPath(nodes, "compatibilitytools/compat_tools");
    if (!tools || !tools->block || tools->children.empty() || !tools->children[0].block) continue;
    const VdfNode &tool = tools->children[0];
    if (vdfText(tool.children, "from_oslist") != "windows" || vdfText(tool.children, "to_oslist") != "linux")
      continue;
    std::string path = vdfText(tool.children, "install_path"), folder = directoryOf(file);
    if (path.empty()) continue;
    steam.customTools[tool.key] = {path == "." ? folder : path[0] == '/' ? path : folder + "/" + path, file};
  }
}

// The folders of custom tools, each overriding the ones before it by name.
void readCustomTools(SteamInstall &steam) {
  if (steam.toolsRead) return;
  steam.toolsRead = true;
  std::vector<std::string> dirs{"/usr/share/steam/compatibilitytools.d",
                                "/usr/local/share/steam/compatibilitytools.d"};
  if (const char *extra = getenv("STEAM_EXTRA_COMPAT_TOOLS_PATHS"))
    for (const std::string &dir : splitText(extra, ':'))
      if (!dir.empty()) dirs.push_back(dir);
  dirs.push_back(steam.root + "/compatibilitytools.d");
  for (const std::string &dir : dirs)
    if (isDirectory(dir)) readCustomToolsIn(steam, dir);
}

bool readNumber(FILE *f, size_t size, uint64_t &out) {
  unsigned char bytes[8];
  if (fread(bytes, 1, size, f) != size) return false;
  out = 0;
  for (size_t i = 0; i < size; ++i) out |= (uint64_t)bytes[i] << (8 * i);
  return true;
}

}  // namespace

// appinfo.vdf is tens of megabytes, so the sections before the one wanted
// are skipped by their sizes, not read.  A header (magic, universe; since
// version 29 the offset of the table of keys), then per app its id, the
// size of the rest, a fixed header (40 bytes before version 28, 60 since)
// and the binary KeyValues; an id of 0 ends the list.
bool readAppinfoSection(const std::string &file, uint32_t appid, std::vector<VdfNode> &nodes, std::string &why) {
  FILE *f = fopen(file.c_str(), "rb");
  if (!f) {
    why = "cannot be read";
    return false;
  }
  uint64_t magic = 0, universe, keysAt = 0, count, id, size;
  bool ok = readNumber(f, 4, magic) && readNumber(f, 4, universe);
  int version = magic == 0x07564427 ? 27 : magic == 0x07564428 ? 28 : magic == 0x07564429 ? 29 : 0;
  std::vector<std::string> keys;
  if (ok && version == 29) {
    // The table of keys: a count, then the keys, each ended by a NUL.
    ok = readNumber(f, 8, keysAt) && fseeko(f, (off_t)keysAt, SEEK_SET) == 0 && readNumber(f, 4, count) &&
         count < (1u << 24);
    std::string key;
    for (int c; ok && keys.size() < count && (c = getc(f)) != EOF;) {
      if (c) {
        key += (char)c;
      } else {
        keys.push_back(key);
        key.clear();
      }
    }
    ok = ok && keys.size() == count && fseeko(f, 16, SEEK_SET) == 0;
  }
  const uint64_t skipped = version >= 28 ? 60 : 40;
  bool found = false;
  std::string data;
  while (ok && version && readNumber(f, 4, id) && id != 0 && readNumber(f, 4, size) && size >= skipped) {
    if (id != appid) {
      ok = fseeko(f, (off_t)size, SEEK_CUR) == 0;
      continue;
    }
    // Sections are a few kilobytes; one of gigabytes is damage.
    if (size > (64u << 20)) break;
    data.resize(size);
    found = fread(&data[0], 1, size, f) == size;
    break;
  }
  fclose(f);
  if (!version) {
    why = "a version of the file this launcher does not know";
    return false;
  }
  if (!found) {
    why = ok ? "no section of app " + std::to_string(appid) : "damaged";
    return false;
  }
  return vdfParseBinary(data.substr(skipped), nodes, why, version == 29 ? &keys : nullptr);
}

bool readToolManifest(ManagerSearch &search, const std::string &folder, std::vector<VdfNode> &nodes) {
  std::string file = folder + "/toolmanifest.vdf", text, why;
  nodes.clear();
  if (isRegularFile(file) && readRecord(search, file, text, largestManifest) && vdfParse(text, nodes, why))
    return true;
  nodes.clear();  // nothing of a damaged one
  return false;
}

namespace {

// Valve's own tools by name and by each of their aliases: their app ids.
void readValveTools(SteamInstall &steam) {
  if (steam.appinfoRead) return;
  steam.appinfoRead = true;
  std::string file = steam.root + "/appcache/appinfo.vdf", why;
  std::vector<VdfNode> nodes;
  if (!isRegularFile(file)) return;
  if (!readAppinfoSection(file, steamPlayManifests, nodes, why)) {
    noteLine(steam.search.note, "Steam's record \"" + file + "\" names no tools (" + why + ")");
    return;
  }
  const VdfNode *tools = vdfFindPath(nodes, "appinfo/extended/compat_tools");
  if (!tools || !tools->block) return;
  for (const VdfNode &tool : tools->children) {
    std::string appid = vdfText(tool.children, "appid");
    if (!tool.block || appid.empty()) continue;
    steam.valveTools[tool.key] = appid;
    for (const std::string &alias : splitText(vdfText(tool.children, "aliases"), ','))
      if (!alias.empty()) steam.valveTools.emplace(alias, appid);
  }
}

// The folder of the tool of that name: a custom tool's, else one of
// Valve's installed as an app in any library.  "" when none is.  watched
// gets what named it, or where a tool installed later would be named.
std::string toolFolder(SteamInstall &steam, const std::string &name, std::vector<std::string> &watched) {
  readCustomTools(steam);
  auto custom = steam.customTools.find(name);
  if (custom != steam.customTools.end()) {
    watched.push_back(custom->second.declaredIn);
    return custom->second.folder;
  }
  readValveTools(steam);
  watched.push_back(steam.root + "/appcache/appinfo.vdf");
  auto valve = steam.valveTools.find(name);
  std::string folder, manifest;
  if (valve != steam.valveTools.end() && steamAppFolder(steam, valve->second, folder, manifest)) {
    watched.push_back(manifest);
    return folder;
  }
  watched.push_back(steam.root + "/compatibilitytools.d");
  return "";
}

// A tool's own words, from its toolmanifest.vdf (watched, there or not),
// with the app id of the tool it requires; a tool without a manifest, or
// one whose manifest gives no command line, is a bare Proton: its proton
// script.  The program is watched too.  False when it has no manifest.
bool manifestCommand(ManagerSearch &search, const std::string &folder, std::vector<std::string> &own,
                     std::string &required, std::vector<std::string> &watched) {
  std::vector<VdfNode> nodes;
  watched.push_back(folder + "/toolmanifest.vdf");
  own.clear();
  bool read = readToolManifest(search, folder, nodes);
  // Version 2 manifests give one command line with %verb%; version 1
  // manifests one a verb.
  std::string line = vdfText(nodes, "manifest/commandline_waitforexitandrun");
  if (line.empty()) line = vdfText(nodes, "manifest/commandline");
  for (std::string word : splitText(line, ' ')) {
    if (word.empty()) continue;
    size_t verb = word.find("%verb%");
    if (verb != std::string::npos) word.replace(verb, 6, "waitforexitandrun");
    // The first word is relative to the tool's folder.
    own.push_back(own.empty() && word[0] == '/' ? folder + word : word);
  }
  if (own.empty()) own = {folder + "/proton", "waitforexitandrun"};
  required = vdfText(nodes, "manifest/require_tool_appid");
  watched.push_back(own[0]);
  return read;
}

// The words of the runtime of app id required, installed in one of
// steam's libraries: false, with why, when it cannot be used.
bool runtimeCommand(SteamInstall *steam, ManagerSearch &search, const std::string &tool, const std::string &required,
                    std::vector<std::string> &words, std::string &runtime, std::string &why,
                    std::vector<std::string> &watched) {
  std::string manifest, own;
  if (!steam || !steamAppFolder(*steam, required, runtime, manifest)) {
    // Where Steam would put its manifest when installing it.
    for (const std::string &library : steam ? steam->libraries : std::vector<std::string>())
      for (const std::string &steamapps : steamappsFolders(library))
        watched.push_back(steamapps + "/appmanifest_" + required + ".acf");
    if (!manifest.empty()) watched.push_back(manifest);
    why = "is not installed";
    return false;
  }
  watched.push_back(manifest);
  if (isInside(runtime, tool) || isInside(tool, runtime)) {
    why = "is the tool itself";
    return false;
  }
  if (!isDirectory(runtime)) {
    why = "is not usable: its folder \"" + runtime + "\" is missing";
    watched.push_back(runtime + "/toolmanifest.vdf");
    return false;
  }
  if (!manifestCommand(search, runtime, words, own, watched)) {
    why = "is not usable: \"" + runtime + "/toolmanifest.vdf\" is missing";
    return false;
  }
  if (!isRegularFile(words[0])) {
    why = "is not usable: \"" + words[0] + "\" is missing";
    return false;
  }
  return true;
}

std::string joined(const std::vector<std::string> &parts, const char *separator) {
  std::string text;
  for (const std::string &part : parts) text += (text.empty() ? "" : separator) + part;
  return text;
}

}  // namespace

std::string steamLastProton(const std::string &compatdata) {
  // Proton rewrites config_info whenever another Proton sets up the prefix;
  // one of its lines is that Proton's <folder>/files/share/fonts/ (older
  // Protons keep other lines before and after it).
  std::string text;
  if (!readRegularFile((compatdata + "/config_info").c_str(), text)) return "";
  const std::string fonts = "/files/share/fonts/";
  for (const std::string &line : splitText(text, '\n')) {
    if (line.size() > fonts.size() && endsWith(line, fonts.c_str())) {
      std::string folder = line.substr(0, line.size() - fonts.size());
      if (isRegularFile(folder + "/proton")) return folder;
    }
  }
  return "";
}

bool steamToolCommand(SteamInstall *steam, ManagerSearch &search, const std::string &folder,
                      std::vector<std::string> &words, std::vector<std::string> &toolPaths,
                      std::vector<std::string> &watched) {
  std::vector<std::string> own;
  std::string required, runtime, why;
  manifestCommand(search, folder, own, required, watched);
  words = own;
  toolPaths = {folder};
  if (!isRegularFile(own[0])) return false;
  if (required.empty()) return true;
  std::vector<std::string> outer;
  if (runtimeCommand(steam, search, folder, required, outer, runtime, why, watched)) {
    words.insert(words.begin(), outer.begin(), outer.end());
    toolPaths.push_back(runtime);
  } else {
    noteLine(search.note, "the runtime that \"" + folder + "\" requires (Steam app " + required + ") " + why +
                              "; starting it without");
  }
  return true;
}

namespace {

// Sets an assignment ("NAME=value"), replacing one of the same name.
void assign(std::vector<std::string> &environment, const std::string &assignment) {
  std::string name = assignment.substr(0, assignment.find('=') + 1);
  for (std::string &set : environment)
    if (set.compare(0, name.size(), name) == 0) {
      set = assignment;
      return;
    }
  environment.push_back(assignment);
}

// The shortcut's launch options on the command: its variables set, its
// wrapper program before, its words after the address.  A word that
// begins with '%' is one of the player's, never the game or the address.
void applyLaunchOptions(ManagerSearch &search, const SteamShortcut &shortcut, ManagerStart &start) {
  std::vector<std::string> before, after;
  if (shortcut.options.empty()) return;
  if (!steamLaunchOptions(shortcut.options, before, after)) {
    noteLine(search.note, "the launch options of Steam's shortcut \"" + shortcut.name + "\" (\"" + shortcut.options +
                              "\") have a quote that is not closed; leaving them out");
    return;
  }
  noteLine(search.note, "applying the launch options of Steam's shortcut \"" + shortcut.name + "\": \"" +
                            shortcut.options + "\"");
  size_t set = 0;
  for (; set < before.size() && isAssignment(before[set]); ++set) assign(start.environment, before[set]);
  before.erase(before.begin(), before.begin() + set);
  if (!before.empty()) {
    std::string program = programPath(before[0]);
    if (program.empty()) {
      noteLine(search.note, "the launch options' program \"" + before[0] + "\" is not found; leaving it out");
      before.clear();
    } else {
      before[0] = program;
      start.watched.push_back(program);
    }
  }
  for (std::string &word : before) word = starterLiteral(word);
  for (std::string &word : after) word = starterLiteral(word);
  start.command.insert(start.command.begin(), before.begin(), before.end());
  start.command.insert(start.command.end(), after.begin(), after.end());
}

// The shortcut's program as a Linux path: a Windows path ("C:\...") is
// read through the drives of the prefix.
std::string shortcutProgram(const std::string &exe, const std::string &prefix) {
  std::string path;
  return exe.size() > 1 && exe[1] == ':' && wineUnixPath(prefix, exe, path) ? path : exe;
}

}  // namespace

ManagerStart steamProtonStart(SteamInstall &steam, const std::string &compatdata, const std::string &appid,
                              const std::string &program) {
  ManagerStart result;
  result.record = steam.root + "/config/config.vdf";
  if (steam.kind == STEAM_FLATPAK) {
    refuse(result,
           N_("Join the server from within Zarnok, or install Zarnok with a Steam that is not installed as a "
              "Flatpak, or with Heroic, Lutris, Bottles or Wine, and run ZarnoLaunch -install again."),
           N_("Zarnok is in Steam's Flatpak, and only Steam itself can start the Proton that runs it there."));
    return result;
  }
  uint64_t id = strtoull(appid.c_str(), nullptr, 10);
  const SteamShortcut *shortcut = steamShortcut(steam, (uint32_t)id);
  std::string name = mappedTool(steam, appid);
  std::vector<std::string> toolPaths, &watched = result.watched;
  std::string folder = name.empty() ? "" : toolFolder(steam, name, watched);
  bool usable = !folder.empty() && steamToolCommand(&steam, steam.search, folder, result.command, toolPaths, watched);
  if (!usable) {
    std::string why = folder.empty() ? "is not found" : "cannot start: \"" + result.command[0] + "\" is missing";
    std::string last = steamLastProton(compatdata);
    watched.push_back(compatdata + "/config_info");
    if (!name.empty())
      noteLine(steam.search.note, "Steam's tool \"" + name + "\" for app " + appid + " " + why +
                                      (last.empty() ? "" : "; the prefix was last set up by \"" + last + "\""));
    usable = !last.empty() && steamToolCommand(&steam, steam.search, last, result.command, toolPaths, watched);
  }
  if (!usable) {
    const char *next = N_("Start Zarnok once from Steam, then open the link again.");
    if (name.empty())
      refuse(result, next, N_("Steam has no Proton chosen for this game, and none has run it yet."));
    else
      refuse(result, next,
             // Translators: %s is the name Steam gives a Proton version, such as proton_9.
             N_("ZarnoLaunch cannot find the Proton that Steam starts this game with (%s)."), name.c_str());
    return result;
  }
  result.command.insert(result.command.end(), {"%e", "%a"});
  // What Steam sets for a non-Steam game: no app id of Steam's, its data
  // folder, the client, and the folders the runtime's container must show.
  std::string steamapps = directoryOf(directoryOf(compatdata));
  result.environment = {"STEAM_COMPAT_APP_ID=0",
                        "STEAM_COMPAT_DATA_PATH=" + compatdata,
                        "STEAM_COMPAT_CLIENT_INSTALL_PATH=" + steam.root,
                        "STEAM_COMPAT_TOOL_PATHS=" + joined(toolPaths, ":"),
                        "STEAM_COMPAT_LIBRARY_PATHS=" + joined(steam.libraries, ":"),
                        "STEAM_COMPAT_SHADER_PATH=" + steamapps + "/shadercache/" + appid};
  // A shortcut's prefix bears its id, which has the top bit set.  Steam
  // gives the game its game id, the shortcut's type over the id: Proton
  // names its log after it and sets the game's process up by it.
  if (id >= 0x80000000u && id <= 0xFFFFFFFFu)
    result.environment.push_back("SteamGameId=" + std::to_string(id << 32 | 0x02000000u));
  if (!shortcut) return result;
  watched.push_back(shortcut->file);
  if (!platIsSelf(shortcutProgram(shortcut->exe, compatdata + "/pfx").c_str(), program.c_str())) {
    noteLine(steam.search.note, "Steam's shortcut \"" + shortcut->name + "\" of app " + appid + " starts \"" +
                                    shortcut->exe + "\", not Zarnok: its start folder and launch options are not used");
    return result;
  }
  if (!shortcut->startDir.empty() && isDirectory(shortcut->startDir))
    result.environment.push_back("PWD=" + shortcut->startDir);
  applyLaunchOptions(steam.search, *shortcut, result);
  return result;
}
