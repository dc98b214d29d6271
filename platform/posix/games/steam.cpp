// Steam with Proton.  Steam keeps each Windows game's prefix in the library
// that holds the game: <library>/steamapps/compatdata/<appid>/pfx, the
// folder Proton's own script makes under STEAM_COMPAT_DATA_PATH.  The game
// itself is recorded in <library>/steamapps/appmanifest_<appid>.acf.  Steam
// starts an installed game with "-applaunch <appid>" and passes the
// arguments after it on to the game.
#include <string.h>

#include <algorithm>

#include "platform/posix/games/records.h"
#include "platform/posix/games/vdf.h"

namespace {

enum SteamKind { STEAM_NATIVE, STEAM_FLATPAK, STEAM_SNAP };

// Where Steam keeps its data (its "root"), by the way it was installed.
// ~/.steam/steam is the installer's link to the root it made (see
// steam-runtime-tools' account of ~/.steam), so a root is usually reached
// twice; it counts once, by its real path.
const struct {
  const char *path;
  SteamKind kind;
} steamRoots[] = {
    {".local/share/Steam", STEAM_NATIVE},
    {".steam/steam", STEAM_NATIVE},
    {".steam/debian-installation", STEAM_NATIVE},
    {".var/app/com.valvesoftware.Steam/.local/share/Steam", STEAM_FLATPAK},
    {".var/app/com.valvesoftware.Steam/data/Steam", STEAM_FLATPAK},  // the Flatpak's older layout
    {"snap/steam/common/.local/share/Steam", STEAM_SNAP},
};

}  // namespace

static const char flatpakApp[] = "com.valvesoftware.Steam";

// The Flatpak keeps its whole home in ~/.var/app/com.valvesoftware.Steam
// and shows it to Steam as the home, so the paths Steam writes there name
// home where that folder is meant.  A folder the player shared with the
// sandbox keeps its own path: a path is mapped only when the mapped folder
// is there.
static std::string outsideSandbox(const std::string &path, const std::string &home) {
  std::string app = home + "/.var/app/" + flatpakApp;
  std::string rest;
  if (path.compare(0, 2, "~/") == 0)
    rest = path.substr(1);
  else if (path.compare(0, home.size() + 1, home + "/") == 0 && path.compare(0, app.size(), app) != 0)
    rest = path.substr(home.size());
  else
    return path;
  return isDirectory(app + rest) ? app + rest : path;
}

// The libraries that the root's libraryfolders.vdf names besides the root
// itself.  Since 2021 Steam writes a block a library, with the folder as
// "path"; before, each library was a numbered key whose value was the folder.
static std::vector<std::string> listedLibraries(ManagerSearch &search, const std::string &root,
                                                bool flatpak) {
  std::vector<std::string> libraries;
  std::string file = root + "/steamapps/libraryfolders.vdf";
  if (!isRegularFile(file)) file = root + "/config/libraryfolders.vdf";
  std::string text, why;
  std::vector<VdfNode> nodes;
  if (!readRecord(search, file, text)) return libraries;
  if (!vdfParse(text, nodes, why)) {
    noteDamaged(search, file, why);
    return libraries;
  }
  const VdfNode *list = vdfFind(nodes, "libraryfolders");
  if (!list || !list->block) {
    noteDamaged(search, file, "no \"libraryfolders\" block");
    return libraries;
  }
  for (const VdfNode &entry : list->children) {
    std::string path;
    if (entry.block) {
      const VdfNode *p = vdfFind(entry.children, "path");
      if (p && !p->block) path = p->value;
    } else if (!entry.key.empty() && entry.key.find_first_not_of("0123456789") == std::string::npos) {
      path = entry.value;
    }
    if (flatpak) path = outsideSandbox(path, search.home);
    if (!path.empty() && path[0] == '/') libraries.push_back(path);
  }
  return libraries;
}

static bool byNumber(const std::string &a, const std::string &b) {
  return a.size() != b.size() ? a.size() < b.size() : a < b;
}

// Every prefix of a library.  A compatdata folder without an appmanifest is
// a non-Steam game that the player added to Steam as a shortcut: Steam
// starts it by a shortcut id of its own and passes it no arguments.
static void libraryPrefixes(ManagerSearch &search, const std::string &library,
                            const std::vector<std::string> &steam) {
  std::string steamapps = library + "/steamapps";
  std::vector<std::string> apps = folderEntries(steamapps + "/compatdata");
  std::stable_sort(apps.begin(), apps.end(), byNumber);
  for (const std::string &appid : apps) {
    if (appid.find_first_not_of("0123456789") != std::string::npos) continue;
    ManagedPrefix prefix;
    prefix.prefix = steamapps + "/compatdata/" + appid + "/pfx";
    std::string manifest = steamapps + "/appmanifest_" + appid + ".acf";
    if (isRegularFile(manifest)) {
      prefix.record = manifest;
      prefix.command = steam;
      prefix.command.insert(prefix.command.end(), {"-applaunch", appid, "%a"});
    } else {
      prefix.record = steamapps + "/compatdata/" + appid;
      refuse(prefix,
             N_("Join the server from within Zarnok, or install Zarnok with Steam, Heroic, Lutris, "
                "Bottles or Wine and run ZarnoLaunch -install again."),
             N_("Steam cannot pass an address to this game: it is a shortcut to a program that Steam "
                "did not install."));
    }
    listPrefix(search, prefix);
  }
}

void findSteam(ManagerSearch &search, std::string &firstRoot) {
  firstRoot.clear();
  std::set<std::string> roots;
  for (const auto &r : steamRoots) {
    std::string root = realPath(search.home + "/" + r.path);
    if (!isDirectory(root) || !roots.insert(root).second) continue;
    if (firstRoot.empty()) firstRoot = root;
    std::vector<std::string> steam;
    if (r.kind == STEAM_FLATPAK)
      steam = {"flatpak", "run", flatpakApp};
    else if (r.kind == STEAM_SNAP)
      steam = {"snap", "run", "steam"};
    else
      steam = {"steam"};
    size_t before = search.prefixes.size();
    // The root is always a library of its own, whether the list names it or not.
    std::vector<std::string> libraries = listedLibraries(search, root, r.kind == STEAM_FLATPAK);
    libraries.insert(libraries.begin(), root);
    std::set<std::string> seen;
    for (const std::string &library : libraries)
      if (seen.insert(realPath(library)).second) libraryPrefixes(search, library, steam);
    recordsFound(search, root, before);
  }
}
