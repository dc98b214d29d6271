// Game managers' records laid out as each manager writes them (Steam,
// Heroic, Lutris, Bottles), for tests and benchmarks that search them in a
// private home.  Each call also makes the Wine prefix its record names,
// a minimal one, unless it has one already.  Paths are absolute;
// where a manager writes "~" for the home, pass home to expand it.
#ifndef ZARNO_TEST_GAME_MANAGERS_H
#define ZARNO_TEST_GAME_MANAGERS_H

#include <string>
#include <vector>

namespace support {

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

// Heroic's GamesConfig/<appName>.json with the game's Wine: type "wine" or
// "proton" (whose prefix is winePrefix/pfx), or another of Heroic's types.
void makeHeroicGame(const std::string &home, const std::string &gamesConfig, const std::string &appName,
                    const std::string &winePrefix, const std::string &bin, const std::string &type);

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
