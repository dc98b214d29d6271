// The game managers' records, laid out as each manager writes them
// (support/game_managers.h), and the prefixes and commands found in them;
// and Steam's KeyValues text as Steam's reader takes it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/posix/games/games.h"
#include "platform/posix/steam/steam.h"
#include "platform/posix/steam/vdf.h"
#include "support/game_managers.h"
#include "support/support.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> noted;
void note(const char *line) { noted.push_back(line); }

std::string joined(const std::vector<std::string> &parts) {
  std::string text;
  for (const std::string &part : parts) text += (text.empty() ? "" : " ") + part;
  return text;
}

// "<home>" in an expected line stands for the test's home.
std::string atHome(std::string text, const std::string &home) {
  for (size_t at; (at = text.find("<home>")) != std::string::npos;) text.replace(at, 6, home);
  return text;
}

const char flatpakSteam[] = "/.var/app/com.valvesoftware.Steam";
const char inFlatpak[] = "Zarnok is in Steam's Flatpak, and only Steam itself can start the Proton that runs it there.";

// The program a prefix holds: in its drive_c, unless the layout put it in
// the folder of the Steam game whose prefix this is.
std::string programIn(const ManagedPrefix &p) {
  std::string own = p.prefix + "/../../../common/Zarnok/zarnok.exe";
  return fs::exists(own) ? fs::canonical(own).string() : p.prefix + "/drive_c/Games/Zarnok/zarnok.exe";
}

void program(const std::string &path) { support::putFile(path, "#!/bin/sh\n", true); }

}  // namespace

TEST(GameManagers, FindsEachManagersPrefixesAndCommands) {
  using H = const std::string &;
  const std::string sniper = "SteamLinuxRuntime_sniper", entry = "/_v2-entry-point --verb=%verb% --";
  const struct {
    const char *what;
    std::function<void(H)> layOut;
    std::vector<std::string> prefixes;  // manager | prefix | environment | command | refusal | record
    std::vector<std::string> records;   // manager | folder | prefixes
    std::vector<std::string> notes;     // a part of each line noted
  } rows[] = {
      {"Steam: its own game by id, a borrowed prefix and a shortcut through their Proton in the runtime",
       [&](H h) {
         std::string root = h + "/.local/share/Steam", other = h + "/Games/Steam Library";
         support::makeSteamRoot(root, {root, other});
         fs::create_directory(h + "/.steam");
         fs::create_directory_symlink(root, h + "/.steam/steam");
         support::makeSteamApp(root, "570", true);
         support::writeFile(root + "/steamapps/common/Zarnok/zarnok.exe", "MZ");
         // The game's manifest in one library, its prefix in another.
         support::makeSteamApp(other, "1091500", false);
         support::makeSteamManifest(root, "1091500", "Cyberpunk 2077");
         support::makeSteamApp(other, "3012345678", false);
         fs::create_directories(other + "/steamapps/compatdata/620");
         std::string start = other + "/steamapps/compatdata/3012345678/pfx/drive_c/Games/Zarnok";
         fs::create_directories(start);
         support::makeSteamShortcuts(root, "12345678",
                                     {{3012345678, "Zarnok", start + "/zarnok.exe", start, "mangohud %command% -dx11"}});
         support::makeSteamToolChoice(root, {{"1091500", "proton_9"}, {"3012345678", "GE-Proton9-20"}});
         support::makeSteamAppinfo(root, {{"proton_9", "2805730"}});
         support::makeSteamTool(root, "2805730", "Proton 9.0", "/proton %verb%", "1628350");
         support::makeSteamTool(other, "1628350", sniper, entry, "");
         support::makeCustomTool(root, "GE-Proton9-20", "GE-Proton9-20", "1628350");
       },
       {"Steam | <home>/.local/share/Steam/steamapps/compatdata/570/pfx |  | steam -applaunch 570 %a |  | "
        "<home>/.local/share/Steam/steamapps/appmanifest_570.acf",
        "Steam | <home>/Games/Steam Library/steamapps/compatdata/1091500/pfx | STEAM_COMPAT_APP_ID=0 "
        "STEAM_COMPAT_DATA_PATH=<home>/Games/Steam Library/steamapps/compatdata/1091500 "
        "STEAM_COMPAT_CLIENT_INSTALL_PATH=<home>/.local/share/Steam STEAM_COMPAT_TOOL_PATHS=<home>/.local/share/"
        "Steam/steamapps/common/Proton 9.0:<home>/Games/Steam Library/steamapps/common/SteamLinuxRuntime_sniper "
        "STEAM_COMPAT_LIBRARY_PATHS=<home>/.local/share/Steam:<home>/Games/Steam Library STEAM_COMPAT_SHADER_PATH="
        "<home>/Games/Steam Library/steamapps/shadercache/1091500 | <home>/Games/Steam Library/steamapps/common/"
        "SteamLinuxRuntime_sniper/_v2-entry-point --verb=waitforexitandrun -- <home>/.local/share/Steam/steamapps/"
        "common/Proton 9.0/proton waitforexitandrun %e %a |  | <home>/.local/share/Steam/config/config.vdf",
        "Steam | <home>/Games/Steam Library/steamapps/compatdata/3012345678/pfx | STEAM_COMPAT_APP_ID=0 "
        "STEAM_COMPAT_DATA_PATH=<home>/Games/Steam Library/steamapps/compatdata/3012345678 "
        "STEAM_COMPAT_CLIENT_INSTALL_PATH=<home>/.local/share/Steam STEAM_COMPAT_TOOL_PATHS=<home>/.local/share/"
        "Steam/compatibilitytools.d/GE-Proton9-20:<home>/Games/Steam Library/steamapps/common/"
        "SteamLinuxRuntime_sniper STEAM_COMPAT_LIBRARY_PATHS=<home>/.local/share/Steam:<home>/Games/Steam Library "
        "STEAM_COMPAT_SHADER_PATH=<home>/Games/Steam Library/steamapps/shadercache/3012345678 SteamGameId="
        "12937926171290501120 PWD=<home>/Games/Steam Library/steamapps/compatdata/3012345678/pfx/drive_c/Games/"
        "Zarnok | <home>/Games/Steam Library/steamapps/common/SteamLinuxRuntime_sniper/_v2-entry-point "
        "--verb=waitforexitandrun -- <home>/.local/share/Steam/compatibilitytools.d/GE-Proton9-20/proton "
        "waitforexitandrun %e %a -dx11 |  | <home>/.local/share/Steam/config/config.vdf"},
       {"Steam | <home>/.local/share/Steam | 3"},
       {"applying the launch options of Steam's shortcut \"Zarnok\": \"mangohud %command% -dx11\"",
        "the launch options' program \"mangohud\" is not found; leaving it out"}},
      {"Steam: shortcuts of three users in SteamApps, the signed-in one's first, with its launch options; one "
       "without a stored id that is not Zarnok; the default Proton without its runtime; a Proton that Steam's "
       "records do not name",
       [&](H h) {
         std::string root = h + "/.steam/debian-installation", lib = h + "/Windows Games";
         support::makeSteamRoot(root, {root, lib});
         support::makeSteamApp(lib, "3212301172", false);
         support::makeSteamApp(lib, "2900000001", false);
         fs::rename(lib + "/steamapps", lib + "/SteamApps");
         support::makeSteamShortcuts(root, "111", {{0, "Zarnok", "/usr/games/zarnok.exe", "/usr/games"}});
         std::string game = lib + "/SteamApps/compatdata/2900000001/pfx/drive_c/Games/Zarnok/zarnok.exe";
         support::makeSteamShortcuts(root, "222", {{2900000001, "Zarnok", game, h + "/gone"}});
         support::makeSteamShortcuts(root, "333", {{2900000001, "Zarnok", game, lib,
                                                    "PROTON_USE_WINED3D=1 '" + h + "/bin/game mode' %command% -w"}});
         support::putFile(root + "/config/loginusers.vdf",
                          "\"users\"\n{\n\t\"76561197960266061\"\n\t{\n\t\t\"MostRecent\"\t\t\"1\"\n\t}\n}\n");
         program(h + "/bin/game mode");
         support::makeSteamToolChoice(root, {{"0", "proton_experimental"}, {"2900000001", "proton_gone"}});
         support::makeSteamAppinfo(root, {{"proton_experimental", "1493710"}});
         support::makeSteamTool(root, "1493710", "Proton - Experimental", "/proton %verb%", "1628350");
         std::string old = h + "/Protons/Proton 8.0";
         support::putFile(old + "/proton", "#!/usr/bin/env python3\n");
         support::putFile(lib + "/SteamApps/compatdata/2900000001/config_info",
                            "8.0-104\n" + old + "/files/share/fonts/\n" + old + "/files/lib/\n" + root);
       },
       {"Steam | <home>/Windows Games/SteamApps/compatdata/2900000001/pfx | STEAM_COMPAT_APP_ID=0 "
        "STEAM_COMPAT_DATA_PATH=<home>/Windows Games/SteamApps/compatdata/2900000001 "
        "STEAM_COMPAT_CLIENT_INSTALL_PATH=<home>/.steam/debian-installation STEAM_COMPAT_TOOL_PATHS=<home>/Protons/"
        "Proton 8.0 STEAM_COMPAT_LIBRARY_PATHS=<home>/.steam/debian-installation:<home>/Windows Games "
        "STEAM_COMPAT_SHADER_PATH=<home>/Windows Games/SteamApps/shadercache/2900000001 SteamGameId="
        "12455405162728521728 PWD=<home>/Windows Games PROTON_USE_WINED3D=1 | <home>/bin/game mode <home>/Protons/"
        "Proton 8.0/proton waitforexitandrun %e %a -w |  | <home>/.steam/debian-installation/config/config.vdf",
        "Steam | <home>/Windows Games/SteamApps/compatdata/3212301172/pfx | STEAM_COMPAT_APP_ID=0 "
        "STEAM_COMPAT_DATA_PATH=<home>/Windows Games/SteamApps/compatdata/3212301172 "
        "STEAM_COMPAT_CLIENT_INSTALL_PATH=<home>/.steam/debian-installation STEAM_COMPAT_TOOL_PATHS=<home>/.steam/"
        "debian-installation/steamapps/common/Proton - Experimental STEAM_COMPAT_LIBRARY_PATHS=<home>/.steam/"
        "debian-installation:<home>/Windows Games STEAM_COMPAT_SHADER_PATH=<home>/Windows Games/SteamApps/"
        "shadercache/3212301172 SteamGameId=13796728478676025344 | <home>/.steam/debian-installation/steamapps/common/"
        "Proton - Experimental/proton waitforexitandrun %e %a |  | <home>/.steam/debian-installation/config/"
        "config.vdf"},
       {"Steam | <home>/.steam/debian-installation | 2"},
       {"Steam's tool \"proton_gone\" for app 2900000001 is not found; the prefix was last set up by \"<home>/"
        "Protons/Proton 8.0\"",
        "applying the launch options of Steam's shortcut \"Zarnok\": \"PROTON_USE_WINED3D=1 '<home>/bin/game mode' "
        "%command% -w\"",
        "the runtime that \"<home>/.steam/debian-installation/steamapps/common/Proton - Experimental\" requires "
        "(Steam app 1628350) is not installed; starting it without",
        "Steam's shortcut \"Zarnok\" of app 3212301172 starts \"/usr/games/zarnok.exe\", not Zarnok"}},
      {"Flatpak Steam: paths inside its sandbox mapped back, a shared folder kept; its Proton refused",
       [](H h) {
         std::string app = h + flatpakSteam;
         support::makeSteamRoot(app + "/.local/share/Steam",
                                {h + "/.local/share/Steam", h + "/SteamLibrary", h + "/Games/Shared"});
         support::makeSteamApp(app + "/.local/share/Steam", "440", true);
         support::makeSteamApp(app + "/SteamLibrary", "1091500", true);
         support::writeFile(app + "/SteamLibrary/steamapps/common/Zarnok/zarnok.exe", "MZ");
         support::makeSteamApp(h + "/Games/Shared", "620", true);
       },
       {"Steam | <home>/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/compatdata/440/pfx |  |  | " +
            std::string(inFlatpak) + " | <home>/.var/app/com.valvesoftware.Steam/.local/share/Steam/config/config.vdf",
        "Steam | <home>/.var/app/com.valvesoftware.Steam/SteamLibrary/steamapps/compatdata/1091500/pfx |  | "
        "flatpak run com.valvesoftware.Steam -applaunch 1091500 %a |  | "
        "<home>/.var/app/com.valvesoftware.Steam/SteamLibrary/steamapps/appmanifest_1091500.acf",
        "Steam | <home>/Games/Shared/steamapps/compatdata/620/pfx |  |  | " + std::string(inFlatpak) +
            " | <home>/.var/app/com.valvesoftware.Steam/.local/share/Steam/config/config.vdf"},
       {"Steam | <home>/.var/app/com.valvesoftware.Steam/.local/share/Steam | 3"},
       {}},
      {"snap Steam with its folder hidden, its list in config/ as Steam wrote it before 2021",
       [](H h) {
         std::string root = h + "/.snap/data/steam/common/.local/share/Steam";
         support::makeSteamRoot(root, {});
         fs::remove(root + "/steamapps/libraryfolders.vdf");
         support::writeFile(root + "/config/libraryfolders.vdf",
                            "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1712345678\"\n"
                            "\t\"ContentStatsID\"\t\t\"-4410000000000000000\"\n\t\"1\"\t\t\"" + h +
                                "/Games/SnapLibrary\"\n}\n");
         support::makeSteamApp(h + "/Games/SnapLibrary", "1091500", true);
         support::writeFile(h + "/Games/SnapLibrary/steamapps/common/Zarnok/zarnok.exe", "MZ");
       },
       {"Steam | <home>/Games/SnapLibrary/steamapps/compatdata/1091500/pfx |  | snap run steam -applaunch 1091500 %a "
        "|  | <home>/Games/SnapLibrary/steamapps/appmanifest_1091500.acf"},
       {"Steam | <home>/.snap/data/steam/common/.local/share/Steam | 1"},
       {}},
      {"Heroic: wine; proton through umu, which has no runtime yet, or in Steam's runtime with umu turned off; '~' "
       "for the home",
       [](H h) {
         std::string root = h + "/.local/share/Steam", config = h + "/.config/heroic";
         support::makeSteamRoot(root, {root});
         support::makeHeroicGame(h, config + "/GamesConfig", "Zarnok", h + "/Games/Heroic/Prefixes/Zarnok",
                                 config + "/tools/wine/Wine-GE-Proton8-26/bin/wine", "wine");
         support::makeHeroicGame(h, config + "/GamesConfig", "Fortnite", "~/Games/Heroic/Prefixes/Other",
                                 root + "/steamapps/common/Proton 8.0/proton", "proton", true);
         support::makeSteamTool(root, "2348590", "Proton 8.0", "/proton %verb%", "1628350");
         support::makeSteamTool(root, "1628350", "SteamLinuxRuntime_sniper", "/_v2-entry-point --verb=%verb% --", "");
         support::makeHeroicGame(h, config + "/GamesConfig", "Umu", h + "/Games/Heroic/Prefixes/Umu",
                                 config + "/tools/proton/GE-Proton9-20/proton", "proton");
         program(config + "/tools/proton/GE-Proton9-20/proton");
         program(config + "/tools/runtimes/umu/umu_run.py");
       },
       {"Heroic | <home>/Games/Heroic/Prefixes/Other/pfx | STEAM_COMPAT_DATA_PATH=<home>/Games/Heroic/Prefixes/Other "
        "STEAM_COMPAT_CLIENT_INSTALL_PATH=<home>/.local/share/Steam STEAM_COMPAT_APP_ID=0 SteamAppId=0 SteamGameId="
        "heroic-Fortnite STEAM_COMPAT_INSTALL_PATH=<home>/Games/Heroic/Prefixes/Other/pfx/drive_c/Games/Zarnok | "
        "<home>/.local/share/Steam/steamapps/common/"
        "SteamLinuxRuntime_sniper/_v2-entry-point --verb=waitforexitandrun -- <home>/.local/share/Steam/steamapps/"
        "common/Proton 8.0/proton waitforexitandrun %e %a |  | <home>/.config/heroic/GamesConfig/Fortnite.json",
        "Heroic | <home>/Games/Heroic/Prefixes/Umu/pfx |  |  | Heroic starts this game through umu, which has not set "
        "up Steam's runtime yet: umu would download it first. | <home>/.config/heroic/GamesConfig/Umu.json",
        "Heroic | <home>/Games/Heroic/Prefixes/Zarnok | WINEPREFIX=<home>/Games/Heroic/Prefixes/Zarnok | "
        "<home>/.config/heroic/tools/wine/Wine-GE-Proton8-26/bin/wine %e %a |  | "
        "<home>/.config/heroic/GamesConfig/Zarnok.json"},
       {"Steam | <home>/.local/share/Steam | 0", "Heroic | <home>/.config/heroic/GamesConfig | 3"},
       {}},
      {"Heroic Flatpak: its own folders mapped, a granted one kept; proton without a Steam root; a macOS Wine",
       [](H h) {
         std::string app = h + "/.var/app/com.heroicgameslauncher.hgl", config = app + "/config/heroic/GamesConfig";
         support::makeHeroicGame(h, config, "Zarnok", h + "/Prefixes/Zarnok",
                                 app + "/config/heroic/tools/proton/GE-Proton9-20/proton", "proton");
         support::makeWinePrefix(app + "/Prefixes/Zarnok/pfx");
         support::makeHeroicGame(h, config, "Kept", "~/Games/Heroic/Kept", h + "/.steam/wine/bin/wine", "wine");
         support::makeWinePrefix(app + "/Games/Heroic/Kept");
         support::makeHeroicGame(h, config, "Mac", h + "/Games/Heroic/Prefixes/Mac", "/opt/cxoffice/bin/wine",
                                 "crossover");
       },
       {"Heroic | <home>/Games/Heroic/Kept | WINEPREFIX=<home>/Games/Heroic/Kept | <home>/.steam/wine/bin/wine "
        "%e %a |  | <home>/.var/app/com.heroicgameslauncher.hgl/config/heroic/GamesConfig/Kept.json",
        "Heroic | <home>/.var/app/com.heroicgameslauncher.hgl/Prefixes/Zarnok/pfx | STEAM_COMPAT_DATA_PATH=<home>/"
        ".var/app/com.heroicgameslauncher.hgl/Prefixes/Zarnok STEAM_COMPAT_CLIENT_INSTALL_PATH=<home>/.var/app/"
        "com.heroicgameslauncher.hgl/Prefixes/Zarnok STEAM_COMPAT_APP_ID=0 SteamAppId=0 SteamGameId=heroic-Zarnok "
        "STEAM_COMPAT_INSTALL_PATH=<home>/.var/app/com.heroicgameslauncher.hgl/Prefixes/Zarnok/pfx/drive_c/Games/"
        "Zarnok | <home>/.var/app/com.heroicgameslauncher.hgl/config/heroic/"
        "tools/proton/GE-Proton9-20/proton waitforexitandrun %e %a |  | <home>/.var/app/"
        "com.heroicgameslauncher.hgl/config/heroic/GamesConfig/Zarnok.json"},
       {"Heroic | <home>/.var/app/com.heroicgameslauncher.hgl/config/heroic/GamesConfig | 2"},
       {"Heroic's record \"<home>/.var/app/com.heroicgameslauncher.hgl/config/heroic/GamesConfig/Mac.json\" names "
        "a Wine of type \"crossover\", which this launcher cannot start; skipping it"}},
      {"Lutris: a runner's version, the system's Wine, the runner's setting; ge-proton without umu; two in one",
       [](H h) {
         std::string data = h + "/.local/share/lutris";
         support::makeLutrisGame(h, h + "/.config/lutris/games", "zarnok", h + "/Games/zarnok",
                                 "lutris-GE-Proton8-26-x86_64");
         program(data + "/runners/wine/lutris-GE-Proton8-26-x86_64/bin/wine");
         support::makeLutrisGame(h, data + "/games", "other", "~/Games/other", "system");
         support::makeLutrisGame(h, data + "/games", "third", h + "/Games/third", "");
         support::makeLutrisGame(h, data + "/games", "twin", h + "/Games/third", "");
         support::putFile(data + "/runners/wine.yml", "wine:\n  version: wine-ge-8-26-x86_64\n");
         program(data + "/runners/wine/wine-ge-8-26-x86_64/bin/wine");
         support::makeLutrisGame(h, h + "/.config/lutris/games", "latest", h + "/Games/latest", "ge-proton");
       },
       {"Lutris | <home>/Games/latest |  |  | Lutris starts this game with Proton (GE-Proton) through umu, which is "
        "not installed. | <home>/.config/lutris/games/latest-1712345678.yml",
        "Lutris | <home>/Games/zarnok | WINEPREFIX=<home>/Games/zarnok | <home>/.local/share/lutris/runners/wine/"
        "lutris-GE-Proton8-26-x86_64/bin/wine %e %a |  | <home>/.config/lutris/games/zarnok-1712345678.yml",
        "Lutris | <home>/Games/other | WINEPREFIX=<home>/Games/other | wine %e %a |  | "
        "<home>/.local/share/lutris/games/other-1712345678.yml",
        "Lutris | <home>/Games/third | WINEPREFIX=<home>/Games/third | <home>/.local/share/lutris/runners/wine/"
        "wine-ge-8-26-x86_64/bin/wine %e %a |  | <home>/.local/share/lutris/runners/wine.yml"},
       {"Lutris | <home>/.config/lutris/games | 2", "Lutris | <home>/.local/share/lutris/games | 2"},
       {}},
      {"Lutris Flatpak: the newest GE-Proton installed and a Proton folder through umu, with its runtime and never a "
       "download; a version not installed, its own Wine build",
       [](H h) {
         std::string data = h + "/.var/app/net.lutris.Lutris/data/lutris", games = data + "/games";
         support::makeLutrisGame(h, games, "zarnok", h + "/Games/zarnok", "GE-Proton (Latest)");
         support::makeLutrisGame(h, games, "folder", h + "/Games/folder", "GE-Proton9-20");
         support::putFile(data + "/runners/wine/GE-Proton9-20/proton", "#!/usr/bin/env python3\n");
         support::makeLutrisGame(h, games, "gone", h + "/Games/gone", "wine-ge-7-0-x86_64");
         support::makeLutrisGame(h, games, "other", h + "/Games/other", "wine-ge-8-26-x86_64");
         program(data + "/runners/wine/wine-ge-8-26-x86_64/bin/wine");
         program(data + "/runtime/umu/umu-run");
         support::makeLutrisGame(h, games, "named", h + "/Games/named", "UMU-Proton");
         for (const char *tool : {"/Steam/compatibilitytools.d/GE-Proton10-1/proton",
                                  "/Steam/compatibilitytools.d/GE-Proton9-20/proton", "/umu/steamrt3/umu"})
           program(h + "/.local/share" + tool);
       },
       {"Lutris | <home>/Games/folder | WINEPREFIX=<home>/Games/folder PROTONPATH=<home>/.var/app/net.lutris.Lutris/"
        "data/lutris/runners/wine/GE-Proton9-20 GAMEID=umu-default PROTON_VERB=waitforexitandrun "
        "UMU_RUNTIME_UPDATE=0 | <home>/.var/app/net.lutris.Lutris/data/lutris/runtime/umu/umu-run %e %a |  | "
        "<home>/.var/app/net.lutris.Lutris/data/lutris/games/folder-1712345678.yml",
        "Lutris | <home>/Games/gone | WINEPREFIX=<home>/Games/gone PROTONPATH=<home>/.local/share/Steam/"
        "compatibilitytools.d/GE-Proton10-1 GAMEID=umu-default PROTON_VERB=waitforexitandrun UMU_RUNTIME_UPDATE=0 | "
        "<home>/.var/app/net.lutris.Lutris/data/lutris/runtime/umu/umu-run %e %a |  | <home>/.var/app/"
        "net.lutris.Lutris/data/lutris/games/gone-1712345678.yml",
        "Lutris | <home>/Games/named |  |  | Lutris starts this game through umu with Proton (UMU-Proton), which is "
        "not installed: umu would download it first. | <home>/.var/app/net.lutris.Lutris/data/lutris/games/"
        "named-1712345678.yml",
        "Lutris | <home>/Games/other | WINEPREFIX=<home>/Games/other | <home>/.var/app/net.lutris.Lutris/data/"
        "lutris/runners/wine/wine-ge-8-26-x86_64/bin/wine %e %a |  | <home>/.var/app/net.lutris.Lutris/data/lutris/"
        "games/other-1712345678.yml",
        "Lutris | <home>/Games/zarnok | WINEPREFIX=<home>/Games/zarnok PROTONPATH=<home>/.local/share/Steam/"
        "compatibilitytools.d/GE-Proton10-1 GAMEID=umu-default PROTON_VERB=waitforexitandrun UMU_RUNTIME_UPDATE=0 | "
        "<home>/.var/app/net.lutris.Lutris/data/lutris/runtime/umu/umu-run %e %a |  | <home>/.var/app/"
        "net.lutris.Lutris/data/lutris/games/zarnok-1712345678.yml"},
       {"Steam | <home>/.local/share/Steam | 0", "Lutris | <home>/.var/app/net.lutris.Lutris/data/lutris/games | 5"},
       {"Lutris's Wine \"wine-ge-7-0-x86_64\" for \"<home>/.var/app/net.lutris.Lutris/data/lutris/games/"
        "gone-1712345678.yml\" is not installed; Lutris would start its default, GE-Proton"}},
      {"Bottles: its own folder, a folder of the player's, Flatpak",
       [](H h) {
         support::makeBottle(h + "/.local/share/bottles/bottles", "Zarnok Bottle", "");
         support::makeBottle(h + "/.local/share/bottles/bottles", "Custom", h + "/Bottles Elsewhere");
         support::makeBottle(h + "/.var/app/com.usebottles.bottles/data/bottles/bottles", "Gaming", "");
       },
       {"Bottles | <home>/Bottles Elsewhere/Custom |  | bottles-cli run -b Custom -e %e -- %a |  | "
        "<home>/Bottles Elsewhere/Custom/bottle.yml",
        "Bottles | <home>/.local/share/bottles/bottles/Zarnok-Bottle |  | bottles-cli run -b Zarnok Bottle -e %e -- "
        "%a |  | <home>/.local/share/bottles/bottles/Zarnok-Bottle/bottle.yml",
        "Bottles | <home>/.var/app/com.usebottles.bottles/data/bottles/bottles/Gaming |  | flatpak run "
        "--command=bottles-cli com.usebottles.bottles run -b Gaming -e %e -- %a |  | "
        "<home>/.var/app/com.usebottles.bottles/data/bottles/bottles/Gaming/bottle.yml"},
       {"Bottles | <home>/.local/share/bottles/bottles | 2",
        "Bottles | <home>/.var/app/com.usebottles.bottles/data/bottles/bottles | 1"},
       {}},
      {"damaged records of each format: passed over, each with a line",
       [](H h) {
         support::makeSteamRoot(h + "/.local/share/Steam", {h + "/.local/share/Steam", h + "/Games/Lost"});
         support::makeSteamApp(h + "/.local/share/Steam", "570", true);
         support::makeSteamApp(h + "/Games/Lost", "1091500", true);
         std::string vdf = h + "/.local/share/Steam/steamapps/libraryfolders.vdf";
         std::string text = support::readFile(vdf);
         support::writeFile(vdf, text.substr(0, text.size() / 2));
         support::makeHeroicGame(h, h + "/.config/heroic/GamesConfig", "Zarnok", h + "/Games/Heroic/Zarnok",
                                 "/usr/bin/wine", "wine");
         support::writeFile(h + "/.config/heroic/GamesConfig/Zarnok.json", "{\n  \"Zarnok\": {\n    \"winePrefix\": ");
         fs::create_directories(h + "/.config/lutris/games");
         support::writeFile(h + "/.config/lutris/games/zarnok-1712345678.yml", "game:\n  prefix: [unclosed\n");
         support::makeBottle(h + "/.local/share/bottles/bottles", "Zarnok", "");
         support::writeFile(h + "/.local/share/bottles/bottles/Zarnok/bottle.yml", "Name: Zarnok\n\tPath: x\n");
         // Steam's binary file cut short; a record nested past any of the
         // managers', and one larger than any.
         std::string shortcuts = h + "/.local/share/Steam/userdata/1/config/shortcuts.vdf";
         support::makeSteamShortcuts(h + "/.local/share/Steam", "1", {{570, "Zarnok", "/z.exe", "/"}});
         support::writeFile(shortcuts, support::readFile(shortcuts).substr(0, 40));
         support::writeFile(h + "/.config/lutris/games/deep-1.yml", "game: " + std::string(100000, '[') + "\n");
         support::writeFile(h + "/.config/heroic/GamesConfig/Huge.json", std::string(2 << 20, ' ') + "{}");
       },
       {"Steam | <home>/.local/share/Steam/steamapps/compatdata/570/pfx |  |  | Steam has no Proton chosen for this "
        "game, and none has run it yet. | <home>/.local/share/Steam/config/config.vdf"},
       {"Steam | <home>/.local/share/Steam | 1", "Heroic | <home>/.config/heroic/GamesConfig | 0",
        "Lutris | <home>/.config/lutris/games | 0", "Bottles | <home>/.local/share/bottles/bottles | 0"},
       {"Steam's record \"<home>/.local/share/Steam/steamapps/libraryfolders.vdf\" is damaged (line ",
        "Heroic's record \"<home>/.config/heroic/GamesConfig/Huge.json\" is larger than 1024 KiB, more than any "
        "record of Heroic's; skipping it",
        "Heroic's record \"<home>/.config/heroic/GamesConfig/Zarnok.json\" is damaged (parse error at line 3",
        "Lutris's record \"<home>/.config/lutris/games/deep-1.yml\" is damaged (line 1: nested deeper than 32 levels)",
        "Lutris's record \"<home>/.config/lutris/games/zarnok-1712345678.yml\" is damaged (line 3: ",
        "Bottles's record \"<home>/.local/share/bottles/bottles/Zarnok/bottle.yml\" is damaged (line 2: ",
        "Steam's record \"<home>/.local/share/Steam/userdata/1/config/shortcuts.vdf\" is damaged (byte "}},
  };
  // No umu but the layouts': the machine's own would change the commands.
  std::string path = getenv("PATH") ? getenv("PATH") : "";
  support::setEnv("PATH", support::makeTempDir());
  for (const auto &row : rows) {
    std::string home = fs::canonical(support::makeTempDir()).string();
    row.layOut(home);
    noted.clear();
    std::vector<ManagerRecords> found;
    std::vector<std::string> prefixes, records, expected, expectedRecords;
    for (const ManagedPrefix &p : findManagedPrefixes(home, note, &found)) {
      ManagerStart s = p.startFor ? p.startFor(programIn(p)) : p.start;
      prefixes.push_back(p.manager + " | " + p.prefix + " | " + joined(s.environment) + " | " + joined(s.command) +
                         " | " + s.refusal + " | " + s.record);
    }
    for (const ManagerRecords &r : found)
      records.push_back(r.manager + " | " + r.folder + " | " + std::to_string(r.prefixes));
    for (const std::string &line : row.prefixes) expected.push_back(atHome(line, home));
    for (const std::string &line : row.records) expectedRecords.push_back(atHome(line, home));
    EXPECT_EQ(prefixes, expected) << row.what;
    EXPECT_EQ(records, expectedRecords) << row.what;
    ASSERT_EQ(noted.size(), row.notes.size()) << row.what << (noted.empty() ? "" : ": " + noted[0]);
    for (size_t i = 0; i < noted.size(); ++i)
      EXPECT_NE(noted[i].find(atHome(row.notes[i], home)), std::string::npos) << row.what << ": " << noted[i];
  }
  support::setEnv("PATH", path);
}

TEST(GameManagers, ReadsSteamsKeyValuesAsSteamDoes) {
  const struct {
    const char *what;
    std::string text;
    std::string read;  // the nodes as key=value, key{...}, or "damaged: " and why
  } cases[] = {
      {"as Steam writes it, with escapes", "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"C:\\\\Program Files "
                                           "(x86)\\\\Steam\"\n\t\t\"label\"\t\t\"\"\n\t}\n}\n",
       "libraryfolders{0{path=C:\\Program Files (x86)\\Steam;label=;}}"},
      {"comments, unquoted tokens, braces ending a token", "// written by hand\nkey value // why\na{b c}\n",
       "key=value;a{b=c;}"},
      {"escapes; another character ends the value", "\"e\" \"\\\"\\t\\n\\\\\" \"cut\" \"ab\\qcd\"",
       "e=\"\t\n\\;cut=ab;"},
      {"conditions, as Steam on Linux takes them",
       "a 1 [$WIN32]\nb 2 [$WINDOWS]\nc [!$OSX] { d 3 }\ne [$X360] { f 4 }\ng 5 [$LINUX]\nh 6 [$POSIX]",
       "a=1;c{d=3;}g=5;h=6;"},
      {"a NUL ends the file", std::string("a b\0 { unclosed", 15), "a=b;"},
      {"a quoted string the file ends inside", "a {\n b \"c\n", "damaged: line 2: a quoted string that the file "
                                                               "ends inside"},
      {"a block the file ends inside", "a {\n b c\n", "damaged: line 3: a block that the file ends inside"},
      {"a key without a value", "a {\n b\n}\n", "damaged: line 3: a key without a value"},
      {"a closing brace too many", "a { }\n}\n", "damaged: line 2: a closing brace without an opening one"},
      {"an empty key", "a { \"\" x }", "damaged: line 1: an empty key"},
      {"a block without a key", "{ a b }", "damaged: line 1: a block without a key"},
      {"nested deeper than Steam's files", [] {
         std::string t;
         for (int i = 0; i < 120; ++i) t += "k {";
         return t;
       }(), "damaged: line 1: blocks nested too deep"},
  };
  std::function<std::string(const std::vector<VdfNode> &)> show = [&](const std::vector<VdfNode> &nodes) {
    std::string text;
    for (const VdfNode &n : nodes) text += n.key + (n.block ? "{" + show(n.children) + "}" : "=" + n.value + ";");
    return text;
  };
  for (const auto &c : cases) {
    std::vector<VdfNode> nodes;
    std::string why;
    bool ok = vdfParse(c.text, nodes, why);
    EXPECT_EQ(ok ? show(nodes) : "damaged: " + why, c.read) << c.what;
  }
  // The binary form, as Steam writes it (an int32 stored signed), and cut.
  std::string shortcut = support::binaryVdf({support::vdfBlock("s", {support::vdfInt("appid", -1282665618),
                                                                      support::vdfString("Exe", "\"z.exe\"")})});
  std::vector<std::string> table{"s"};
  const struct {
    const char *what;
    std::string bytes;
    std::string read;
  } binary[] = {
      {"a block of an int32 and a string", shortcut, "s{appid=-1282665618;Exe=\"z.exe\";}"},
      {"bytes after the end left", shortcut + "\x01junk", "s{appid=-1282665618;Exe=\"z.exe\";}"},
      {"cut inside a number", shortcut.substr(0, 12), "damaged: byte 10: a number that the data ends inside"},
      {"cut inside a block", shortcut.substr(0, 27), "damaged: byte 27: a block that the data ends inside"},
      {"a type Steam does not write", std::string("\x05w\0\0\0", 5), "damaged: byte 0: a value of a type Steam does not write"},
      {"a key by its index", std::string("\x01\0\0\0\0v\0\x08", 8), "s=v;"},
      {"an index outside the table", std::string("\x01\x01\0\0\0v\0", 7),
       "damaged: byte 1: a key outside the table of keys"},
  };
  for (const auto &c : binary) {
    std::vector<VdfNode> nodes;
    std::string why;
    bool keyed = c.bytes[0] == 1 && c.bytes.size() < 9;
    bool ok = vdfParseBinary(c.bytes, nodes, why, keyed ? &table : nullptr);
    EXPECT_EQ(ok ? show(nodes) : "damaged: " + why, c.read) << c.what;
  }
  // appinfo.vdf as Steam wrote it over the years, byte by byte: the magic
  // (its version), the universe, from 29 where the table of keys is; app 7
  // of so many bytes, the header Steam keeps of it and its KeyValues; app 0.
  using namespace std::string_literals;
  const std::string head40(40, 'h'), head60(60, 'h'), keyed = "\x01\0\0\0\0b\0\x08"s;
  const std::string named = "\x01"s + "a\0b\0\x08"s, end = "\0\0\0\0"s, keys = "\x01\0\0\0a\0"s;
  const struct {
    const char *what;
    std::string bytes, read;
  } appinfo[] = {
      {"version 27", "\x27\x44\x56\x07\x01\0\0\0\x07\0\0\0\x2e\0\0\0"s + head40 + named + end, "a=b;"},
      {"version 28", "\x28\x44\x56\x07\x01\0\0\0\x07\0\0\0\x42\0\0\0"s + head60 + named + end, "a=b;"},
      {"version 29", "\x29\x44\x56\x07\x01\0\0\0\x60\0\0\0\0\0\0\0\x07\0\0\0\x44\0\0\0"s + head60 + keyed + end + keys,
       "a=b;"},
      {"an unknown magic", "\x26\x44\x56\x07\x01\0\0\0\x07\0\0\0\x2e\0\0\0"s + head40 + named + end,
       "a version of the file this launcher does not know"},
      {"the keys past the end", "\x29\x44\x56\x07\x01\0\0\0\x7f\0\0\0\0\0\0\0\x07\0\0\0\x44\0\0\0"s + head60 + keyed + end + keys,
       "damaged"},
  };
  std::string file = support::makeTempDir() + "/appinfo.vdf";
  for (const auto &c : appinfo) {
    std::vector<VdfNode> nodes;
    std::string why;
    ASSERT_TRUE(support::writeFile(file, c.bytes));
    EXPECT_EQ(readAppinfoSection(file, 7, nodes, why) ? show(nodes) : why, c.read) << c.what;
  }
}
