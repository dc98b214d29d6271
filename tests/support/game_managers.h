// Game managers' records laid out as each manager writes them (Steam,
// Heroic, Lutris, Bottles), for tests and benchmarks that search them in a
// private home.  Each call also makes the Wine prefix its record names,
// a minimal one, unless it has one already.  Paths are absolute;
// where a manager writes "~" for the home, pass home to expand it.
#ifndef ZARNO_TEST_GAME_MANAGERS_H
#define ZARNO_TEST_GAME_MANAGERS_H

#include <map>
#include <string>
#include <vector>

#include "platform/posix/steam/vdf.h"

namespace support {

// A file of a layout, with the folders it needs; a program may be run.
void putFile(const std::string &path, const std::string &text, bool program = false);

// A minimal prefix as Wine makes it: system.reg with Wine's header, drive_c,
// and dosdevices/c: linked to ../drive_c.
void makeWinePrefix(const std::string &prefix);

// A Steam root: steamapps/libraryfolders.vdf naming the libraries (the root
// usually first) with the paths as Steam wrote them.
void makeSteamRoot(const std::string &root, const std::vector<std::string> &libraries);
// A game of a library: steamapps/compatdata/<appid>/pfx and, for a game
// Steam installed, steamapps/appmanifest_<appid>.acf.  Without the manifest
// it is a shortcut to a game Steam did not install.
void makeSteamApp(const std::string &library, const std::string &appid, bool installed);
// An app's appmanifest_<appid>.acf in a library, installed in
// common/<installdir>.
void makeSteamManifest(const std::string &library, const std::string &appid, const std::string &installdir);

// Steam's binary KeyValues of the nodes, as Steam writes them: each node
// with its type byte; a block, and the whole, ended by VDF_BINARY_END.
// With keys (appinfo.vdf since 2024) each key is its index there, added
// when missing.
std::string binaryVdf(const std::vector<VdfNode> &nodes, std::vector<std::string> *keys = nullptr);
VdfNode vdfString(const std::string &key, const std::string &value);
VdfNode vdfInt(const std::string &key, long long value);
VdfNode vdfBlock(const std::string &key, const std::vector<VdfNode> &children);

// A player's game added to Steam, as userdata/<user>/config/shortcuts.vdf
// keeps it; appid 0 stores none (older files), and Steam computes it.
struct Shortcut {
  long long appid;
  std::string name, exe, startDir, options = "";
};
void makeSteamShortcuts(const std::string &root, const std::string &user, const std::vector<Shortcut> &shortcuts);
// Steam's config/config.vdf with the Proton chosen for app ids ("0": the
// player's default).
void makeSteamToolChoice(const std::string &root, const std::map<std::string, std::string> &tools);
// A tool installed as an app of a library (Valve's Proton, the Steam Linux
// Runtime): its appmanifest, and common/<installdir>/toolmanifest.vdf with
// its command line and the app id of the tool it required (none: ""), and
// the program the command line names.  Returns its folder.
std::string makeSteamTool(const std::string &library, const std::string &appid, const std::string &installdir,
                          const std::string &commandline, const std::string &required);
// A custom tool in the root's compatibilitytools.d/<folder>, named name in
// its compatibilitytool.vdf, requiring the tool of app id required, with
// its proton.
std::string makeCustomTool(const std::string &root, const std::string &folder, const std::string &name,
                           const std::string &required);
// appcache/appinfo.vdf (version 29) whose tool section maps Valve's tool
// names to their app ids, after a section of another app.
void makeSteamAppinfo(const std::string &root, const std::map<std::string, std::string> &tools);

// Heroic's GamesConfig/<appName>.json with the game's Wine: type "wine" or
// "proton" (whose prefix is winePrefix/pfx), or another of Heroic's types;
// disableUmu as the game's setting of that name.
void makeHeroicGame(const std::string &home, const std::string &gamesConfig, const std::string &appName,
                    const std::string &winePrefix, const std::string &bin, const std::string &type,
                    bool disableUmu = false);

// Lutris's games/<slug>-<id>.yml of a wine game; an empty version leaves
// the runner's section out.
void makeLutrisGame(const std::string &home, const std::string &games, const std::string &slug,
                    const std::string &prefix, const std::string &version);

// A bottle named name in the bottles folder, or, when folder is not empty,
// in folder (with a placeholder.yml in the bottles folder, as Bottles does
// for a bottle in a folder of the player's choice).  Returns its prefix.
std::string makeBottle(const std::string &bottles, const std::string &name, const std::string &folder);

}  // namespace support

#endif
