// Steam, as it keeps its games, its non-Steam shortcuts and the tools that
// run them (Proton, the Steam Linux Runtime).  One reader a file, in the
// shape of protontricks (its steam.py is the best public account of these
// files): steam.cpp the roots, libraries and installed apps, shortcuts.cpp
// userdata/<user>/config/shortcuts.vdf, tools.cpp config/config.vdf's tool
// mappings, the tools' own manifests, appcache/appinfo.vdf and how Steam
// starts a program with a tool.
#ifndef ZARNOLAUNCH_POSIX_STEAM_H
#define ZARNOLAUNCH_POSIX_STEAM_H

#include <stdint.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/games/records.h"
#include "platform/posix/steam/vdf.h"

enum SteamKind { STEAM_NATIVE, STEAM_FLATPAK, STEAM_SNAP };

// A game the player added to Steam: the program, its name, the folder it
// starts in (without Steam's quotes) and the player's launch options, as
// the shortcut keeps them, and the shortcuts.vdf it is in.
struct SteamShortcut {
  std::string name, exe, startDir, options, file;
};

// A custom tool: its folder, and the compatibilitytool.vdf that names it.
struct SteamCustomTool {
  std::string folder, declaredIn;
};

// One Steam installation (its "root").  What its records say beyond its
// libraries is read when first asked for, once a search.
struct SteamInstall {
  ManagerSearch search;  // the home, the log, "Steam": for reading its records
  std::string root;      // its real path
  SteamKind kind;
  std::vector<std::string> libraries;  // real paths, the root first
  bool configRead = false;
  std::vector<VdfNode> config;  // config/config.vdf
  bool shortcutsRead = false;
  std::map<uint32_t, SteamShortcut> shortcuts;  // by shortcut id
  bool toolsRead = false;
  std::map<std::string, SteamCustomTool> customTools;  // by internal name
  bool appinfoRead = false;
  std::map<std::string, std::string> valveTools;  // app ids by name and alias
};

// --- steam.cpp: roots, libraries, apps

// A library's steamapps folders: "steamapps" in any letter case, as Steam
// takes it ("SteamApps" in libraries brought over from Windows).
std::vector<std::string> steamappsFolders(const std::string &library);
// The folder an installed app lives in (<steamapps>/common/<installdir>)
// and its appmanifest, in whichever library holds it.  False when no
// library holds it.
bool steamAppFolder(SteamInstall &steam, const std::string &appid, std::string &folder,
                    std::string &manifest);
// Whether path lies inside folder (both resolved).
bool isInside(const std::string &path, const std::string &folder);

// --- shortcuts.cpp

// The id Steam gives a shortcut that stores none: protontricks'
// get_appid_from_shortcut, crc32 of the program as stored and the name,
// with the top bit set.  The prefix is compatdata/<id>.
uint32_t steamShortcutId(const std::string &exe, const std::string &name);
// The shortcut of that id in the shortcuts.vdf of the Steam user signed in
// last (config/loginusers.vdf's MostRecent), else of any other, or null.
const SteamShortcut *steamShortcut(SteamInstall &steam, uint32_t id);
// A shortcut's launch options as Steam applies them to the command it
// composes: the words before "%command%" (variables, then a wrapper
// program and its arguments) and those after it, which follow the game's
// own arguments; options without "%command%" are all after it.  Words are
// read as a shell reads them (blanks between, quotes and backslashes),
// without expanding anything.  False when a quote is not closed.
bool steamLaunchOptions(const std::string &text, std::vector<std::string> &before,
                        std::vector<std::string> &after);

// --- tools.cpp

// How Steam starts program (a Linux path) through the Proton it uses for
// app id (a shortcut's, or an installed game's whose prefix the program
// borrows), in the prefix of compatdata (<library>/steamapps/compatdata/
// <id>).  The shortcut of that id lends its start folder and launch
// options only when it is the program's own.
ManagerStart steamProtonStart(SteamInstall &steam, const std::string &compatdata, const std::string &appid,
                              const std::string &program);
// The words Steam runs a tool in folder with for a game (its manifest's
// command line, waitforexitandrun for %verb%), after those of the runtime
// it requires when that is installed in one of steam's libraries with its
// manifest and entry point (steam may be null: none); else the tool alone,
// with a line saying why.  toolPaths gets the tools' folders, innermost
// first; watched the files they came from and the programs they run.  A
// tool without a manifest is a bare Proton: its proton script.  False when
// the tool's own program is not there.
bool steamToolCommand(SteamInstall *steam, ManagerSearch &search, const std::string &folder,
                      std::vector<std::string> &words, std::vector<std::string> &toolPaths,
                      std::vector<std::string> &watched);
// The toolmanifest.vdf of the tool in folder: false when it is not there,
// or cannot be read or parsed (nodes then empty).
bool readToolManifest(ManagerSearch &search, const std::string &folder, std::vector<VdfNode> &nodes);
// One app's section of appinfo.vdf (versions 27, 28 and 29), where Steam
// caches what it knows of every app.  False, with why, when the file
// cannot be read, has no such section, or is damaged.
bool readAppinfoSection(const std::string &file, uint32_t appid, std::vector<VdfNode> &nodes, std::string &why);
// The Proton that last set up the prefix of compatdata, as its config_info
// names it: "" when it names none that is there.
std::string steamLastProton(const std::string &compatdata);

#endif
