// Steam with Proton.  Steam keeps each Windows game's prefix in a library:
// <library>/steamapps/compatdata/<appid>/pfx, the folder Proton's own
// script makes under STEAM_COMPAT_DATA_PATH.  An installed game is recorded
// in an appmanifest_<appid>.acf of some library (not always the one that
// holds its prefix); Steam starts it with "-applaunch <appid>" and passes
// the arguments after it on to the game.  A prefix without one belongs to
// a program the player added to Steam (a non-Steam shortcut), which Steam
// starts through Proton itself, as tools.cpp does.
#include <string.h>

#include <algorithm>

#include "platform/posix/steam/steam.h"

namespace {

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
    // The snap with its folder hidden (snapd's experimental.hidden-snap-folder).
    {".snap/data/steam/common/.local/share/Steam", STEAM_SNAP},
    {"snap/steam/common/.snap/data/steam", STEAM_SNAP},  // where some players' snaps keep it
};

}  // namespace

static const char flatpakApp[] = "com.valvesoftware.Steam";

// The Flatpak keeps its whole home in ~/.var/app/com.valvesoftware.Steam
// and is granted no folder of the home, so the paths Steam writes there
// name home where that folder is meant.
static std::string outsideSteamSandbox(const std::string &path, const std::string &home) {
  return outsideSandbox(path, home, flatpakApp, nullptr);
}

// The libraries that the root's libraryfolders.vdf names besides the root
// itself.  Since 2021 Steam writes a block a library, with the folder as
// "path"; before, each library was a numbered key whose value was the folder.
static std::vector<std::string> listedLibraries(ManagerSearch &search, const std::string &root,
                                                bool flatpak) {
  std::vector<std::string> libraries;
  std::vector<std::string> steamapps = steamappsFolders(root);
  std::string file = (steamapps.empty() ? root + "/steamapps" : steamapps[0]) + "/libraryfolders.vdf";
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
    if (flatpak) path = outsideSteamSandbox(path, search.home);
    if (!path.empty() && path[0] == '/') libraries.push_back(path);
  }
  return libraries;
}

static bool byNumber(const std::string &a, const std::string &b) {
  return a.size() != b.size() ? a.size() < b.size() : a < b;
}

std::vector<std::string> steamappsFolders(const std::string &library) {
  std::vector<std::string> folders;
  for (const std::string &name : folderEntries(library))
    if (platCompareNoCase(name.c_str(), "steamapps") == 0 && isDirectory(library + "/" + name))
      folders.push_back(library + "/" + name);
  // "steamapps" first, as Steam writes it.
  std::sort(folders.rbegin(), folders.rend());
  return folders;
}

// The appmanifest of an app, in whichever library holds it; "" when none.
static std::string appManifest(const SteamInstall &steam, const std::string &appid) {
  for (const std::string &library : steam.libraries)
    for (const std::string &steamapps : steamappsFolders(library))
      if (isRegularFile(steamapps + "/appmanifest_" + appid + ".acf"))
        return steamapps + "/appmanifest_" + appid + ".acf";
  return "";
}

bool steamAppFolder(SteamInstall &steam, const std::string &appid, std::string &folder, std::string &manifest) {
  manifest = appManifest(steam, appid);
  std::string text, why;
  std::vector<VdfNode> nodes;
  if (manifest.empty() || !readRecord(steam.search, manifest, text)) return false;
  if (!vdfParse(text, nodes, why)) {
    noteDamaged(steam.search, manifest, why);
    return false;
  }
  std::string installdir = vdfText(nodes, "AppState/installdir");
  if (installdir.empty() || installdir.find('/') != std::string::npos) return false;
  folder = directoryOf(manifest) + "/common/" + installdir;
  return true;
}

bool isInside(const std::string &path, const std::string &folder) {
  std::string real = realPath(path), within = realPath(folder) + "/";
  return real.compare(0, within.size(), within) == 0;
}

// Every prefix of a library.  Which way Steam starts a program there is
// decided for the program: an installed game's own by its app id; any
// other through Proton, as Steam starts a shortcut (the prefix of a
// shortcut, or one that a program such as Zarnok only borrowed from an
// installed game: "-applaunch" would start that game instead).
static void libraryPrefixes(ManagerSearch &search, const std::shared_ptr<SteamInstall> &steam,
                            const std::string &library, const std::vector<std::string> &command) {
  for (const std::string &steamapps : steamappsFolders(library)) {
    std::vector<std::string> apps = folderEntries(steamapps + "/compatdata");
    std::stable_sort(apps.begin(), apps.end(), byNumber);
    for (const std::string &appid : apps) {
      if (appid.empty() || appid.size() > 10 || appid.find_first_not_of("0123456789") != std::string::npos)
        continue;
      ManagedPrefix prefix;
      std::string compatdata = steamapps + "/compatdata/" + appid;
      prefix.prefix = compatdata + "/pfx";
      std::string manifest = appManifest(*steam, appid);
      prefix.start.record = manifest.empty() ? compatdata : manifest;
      prefix.startFor = [steam, command, appid, compatdata](const std::string &program) {
        std::string folder, manifest;
        if (steamAppFolder(*steam, appid, folder, manifest) && isInside(program, folder)) {
          ManagerStart start{manifest, {}, {}, command, "", ""};
          start.command.insert(start.command.end(), {"-applaunch", appid, "%a"});
          return start;
        }
        return steamProtonStart(*steam, compatdata, appid, program);
      };
      listPrefix(search, prefix);
    }
  }
}

std::shared_ptr<SteamInstall> findSteam(ManagerSearch &search) {
  std::shared_ptr<SteamInstall> first;
  std::set<std::string> roots;
  for (const auto &r : steamRoots) {
    std::string root = realPath(search.home + "/" + r.path);
    if (!isDirectory(root) || !roots.insert(root).second) continue;
    auto steam = std::make_shared<SteamInstall>();
    steam->search.home = search.home;
    steam->search.note = search.note;
    steam->search.manager = search.manager;
    steam->root = root;
    steam->kind = r.kind;
    if (!first) first = steam;
    std::vector<std::string> command;
    if (r.kind == STEAM_FLATPAK)
      command = {"flatpak", "run", flatpakApp};
    else if (r.kind == STEAM_SNAP)
      command = {"snap", "run", "steam"};
    else
      command = {"steam"};
    size_t before = search.prefixes.size();
    // The root is always a library of its own, whether the list names it or not.
    std::vector<std::string> libraries = listedLibraries(search, root, r.kind == STEAM_FLATPAK);
    libraries.insert(libraries.begin(), root);
    std::set<std::string> seen;
    for (const std::string &library : libraries)
      if (seen.insert(realPath(library)).second) steam->libraries.push_back(realPath(library));
    for (const std::string &library : steam->libraries) libraryPrefixes(search, steam, library, command);
    recordsFound(search, root, before);
  }
  return first;
}
