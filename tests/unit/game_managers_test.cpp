// The game managers' records, laid out as each manager writes them
// (support/game_managers.h), and the prefixes and commands found in them;
// and Steam's KeyValues text as Steam's reader takes it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/posix/games/games.h"
#include "platform/posix/games/vdf.h"
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
const char shortcut[] = "Steam cannot pass an address to this game: it is a shortcut to a program that Steam "
                        "did not install.";

}  // namespace

TEST(GameManagers, FindsEachManagersPrefixesAndCommands) {
  using H = const std::string &;
  const struct {
    const char *what;
    std::function<void(H)> layOut;
    std::vector<std::string> prefixes;  // manager | prefix | environment | command | refusal | record
    std::vector<std::string> records;   // manager | folder | prefixes
    std::vector<std::string> notes;     // a part of each line noted
  } rows[] = {
      {"Steam: two libraries, the root reached twice, a shortcut, a compatdata without pfx",
       [](H h) {
         support::makeSteamRoot(h + "/.local/share/Steam", {h + "/.local/share/Steam", h + "/Games/Steam Library"});
         fs::create_directory(h + "/.steam");
         fs::create_directory_symlink(h + "/.local/share/Steam", h + "/.steam/steam");
         support::makeSteamApp(h + "/.local/share/Steam", "570", true);
         support::makeSteamApp(h + "/Games/Steam Library", "3012345678", false);
         support::makeSteamApp(h + "/Games/Steam Library", "1091500", true);
         fs::create_directories(h + "/Games/Steam Library/steamapps/compatdata/620");
       },
       {"Steam | <home>/.local/share/Steam/steamapps/compatdata/570/pfx |  | steam -applaunch 570 %a |  | "
        "<home>/.local/share/Steam/steamapps/appmanifest_570.acf",
        "Steam | <home>/Games/Steam Library/steamapps/compatdata/1091500/pfx |  | steam -applaunch 1091500 %a |  | "
        "<home>/Games/Steam Library/steamapps/appmanifest_1091500.acf",
        "Steam | <home>/Games/Steam Library/steamapps/compatdata/3012345678/pfx |  |  | " + std::string(shortcut) +
            " | <home>/Games/Steam Library/steamapps/compatdata/3012345678"},
       {"Steam | <home>/.local/share/Steam | 3"},
       {}},
      {"Flatpak Steam: paths inside its sandbox mapped back, a shared folder kept",
       [](H h) {
         std::string app = h + flatpakSteam;
         support::makeSteamRoot(app + "/.local/share/Steam",
                                {h + "/.local/share/Steam", h + "/SteamLibrary", h + "/Games/Shared"});
         support::makeSteamApp(app + "/.local/share/Steam", "440", true);
         support::makeSteamApp(app + "/SteamLibrary", "1091500", true);
         support::makeSteamApp(h + "/Games/Shared", "620", true);
       },
       {"Steam | <home>/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/compatdata/440/pfx |  | "
        "flatpak run com.valvesoftware.Steam -applaunch 440 %a |  | "
        "<home>/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/appmanifest_440.acf",
        "Steam | <home>/.var/app/com.valvesoftware.Steam/SteamLibrary/steamapps/compatdata/1091500/pfx |  | "
        "flatpak run com.valvesoftware.Steam -applaunch 1091500 %a |  | "
        "<home>/.var/app/com.valvesoftware.Steam/SteamLibrary/steamapps/appmanifest_1091500.acf",
        "Steam | <home>/Games/Shared/steamapps/compatdata/620/pfx |  | flatpak run com.valvesoftware.Steam "
        "-applaunch 620 %a |  | <home>/Games/Shared/steamapps/appmanifest_620.acf"},
       {"Steam | <home>/.var/app/com.valvesoftware.Steam/.local/share/Steam | 3"},
       {}},
      {"snap Steam, its list in config/ as Steam wrote it before 2021",
       [](H h) {
         std::string root = h + "/snap/steam/common/.local/share/Steam";
         support::makeSteamRoot(root, {});
         fs::remove(root + "/steamapps/libraryfolders.vdf");
         support::writeFile(root + "/config/libraryfolders.vdf",
                            "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1712345678\"\n"
                            "\t\"ContentStatsID\"\t\t\"-4410000000000000000\"\n\t\"1\"\t\t\"" + h +
                                "/Games/SnapLibrary\"\n}\n");
         support::makeSteamApp(h + "/Games/SnapLibrary", "1091500", true);
       },
       {"Steam | <home>/Games/SnapLibrary/steamapps/compatdata/1091500/pfx |  | snap run steam -applaunch 1091500 %a "
        "|  | <home>/Games/SnapLibrary/steamapps/appmanifest_1091500.acf"},
       {"Steam | <home>/snap/steam/common/.local/share/Steam | 1"},
       {}},
      {"Heroic: wine, and proton with the Steam root; '~' for the home",
       [](H h) {
         support::makeSteamRoot(h + "/.local/share/Steam", {h + "/.local/share/Steam"});
         support::makeHeroicGame(h, h + "/.config/heroic/GamesConfig", "Zarnok", h + "/Games/Heroic/Prefixes/Zarnok",
                                 h + "/.config/heroic/tools/wine/Wine-GE-Proton8-26/bin/wine", "wine");
         support::makeHeroicGame(h, h + "/.config/heroic/GamesConfig", "Fortnite", "~/Games/Heroic/Prefixes/Other",
                                 h + "/.local/share/Steam/steamapps/common/Proton 8.0/proton", "proton");
       },
       {"Heroic | <home>/Games/Heroic/Prefixes/Other/pfx | STEAM_COMPAT_DATA_PATH=<home>/Games/Heroic/Prefixes/Other "
        "STEAM_COMPAT_CLIENT_INSTALL_PATH=<home>/.local/share/Steam | <home>/.local/share/Steam/steamapps/common/"
        "Proton 8.0/proton run %e %a |  | <home>/.config/heroic/GamesConfig/Fortnite.json",
        "Heroic | <home>/Games/Heroic/Prefixes/Zarnok | WINEPREFIX=<home>/Games/Heroic/Prefixes/Zarnok | "
        "<home>/.config/heroic/tools/wine/Wine-GE-Proton8-26/bin/wine %e %a |  | "
        "<home>/.config/heroic/GamesConfig/Zarnok.json"},
       {"Steam | <home>/.local/share/Steam | 0", "Heroic | <home>/.config/heroic/GamesConfig | 2"},
       {}},
      {"Heroic Flatpak: proton without a Steam root, a macOS Wine passed over",
       [](H h) {
         std::string config = h + "/.var/app/com.heroicgameslauncher.hgl/config/heroic/GamesConfig";
         support::makeHeroicGame(h, config, "Zarnok", h + "/Games/Heroic/Prefixes/Zarnok",
                                 h + "/.var/app/com.heroicgameslauncher.hgl/config/heroic/tools/proton/"
                                     "GE-Proton9-20/proton",
                                 "proton");
         support::makeHeroicGame(h, config, "Mac", h + "/Games/Heroic/Prefixes/Mac", "/opt/cxoffice/bin/wine",
                                 "crossover");
       },
       {"Heroic | <home>/Games/Heroic/Prefixes/Zarnok/pfx | STEAM_COMPAT_DATA_PATH=<home>/Games/Heroic/Prefixes/Zarnok "
        "STEAM_COMPAT_CLIENT_INSTALL_PATH=<home>/Games/Heroic/Prefixes/Zarnok | <home>/.var/app/"
        "com.heroicgameslauncher.hgl/config/heroic/tools/proton/GE-Proton9-20/proton run %e %a |  | <home>/.var/app/"
        "com.heroicgameslauncher.hgl/config/heroic/GamesConfig/Zarnok.json"},
       {"Heroic | <home>/.var/app/com.heroicgameslauncher.hgl/config/heroic/GamesConfig | 1"},
       {"Heroic's record \"<home>/.var/app/com.heroicgameslauncher.hgl/config/heroic/GamesConfig/Mac.json\" names "
        "a Wine of type \"crossover\", which this launcher cannot start; skipping it"}},
      {"Lutris: a runner version, the system's Wine, none named; two prefixes in one",
       [](H h) {
         support::makeLutrisGame(h, h + "/.config/lutris/games", "zarnok", h + "/Games/zarnok",
                                 "lutris-GE-Proton8-26-x86_64");
         support::makeLutrisGame(h, h + "/.local/share/lutris/games", "other", "~/Games/other", "system");
         support::makeLutrisGame(h, h + "/.local/share/lutris/games", "third", h + "/Games/third", "");
         support::makeLutrisGame(h, h + "/.local/share/lutris/games", "twin", h + "/Games/third", "");
       },
       {"Lutris | <home>/Games/zarnok | WINEPREFIX=<home>/Games/zarnok | <home>/.local/share/lutris/runners/wine/"
        "lutris-GE-Proton8-26-x86_64/bin/wine %e %a |  | <home>/.config/lutris/games/zarnok-1712345678.yml",
        "Lutris | <home>/Games/other | WINEPREFIX=<home>/Games/other | wine %e %a |  | "
        "<home>/.local/share/lutris/games/other-1712345678.yml",
        "Lutris | <home>/Games/third | WINEPREFIX=<home>/Games/third | wine %e %a |  | "
        "<home>/.local/share/lutris/games/third-1712345678.yml"},
       {"Lutris | <home>/.config/lutris/games | 1", "Lutris | <home>/.local/share/lutris/games | 2"},
       {}},
      {"Lutris Flatpak: a Proton through umu refused, its own Wine build run",
       [](H h) {
         std::string games = h + "/.var/app/net.lutris.Lutris/data/lutris/games";
         support::makeLutrisGame(h, games, "zarnok", h + "/Games/zarnok", "GE-Proton (Latest)");
         support::makeLutrisGame(h, games, "other", h + "/Games/other", "wine-ge-8-26-x86_64");
       },
       {"Lutris | <home>/Games/other | WINEPREFIX=<home>/Games/other | <home>/.var/app/net.lutris.Lutris/data/"
        "lutris/runners/wine/wine-ge-8-26-x86_64/bin/wine %e %a |  | <home>/.var/app/net.lutris.Lutris/data/lutris/"
        "games/other-1712345678.yml",
        "Lutris | <home>/Games/zarnok |  |  | Lutris starts this game with Proton (GE-Proton (Latest)) through its "
        "own helper, which cannot pass an address to the game. | <home>/.var/app/net.lutris.Lutris/data/lutris/"
        "games/zarnok-1712345678.yml"},
       {"Lutris | <home>/.var/app/net.lutris.Lutris/data/lutris/games | 2"},
       {}},
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
       },
       {"Steam | <home>/.local/share/Steam/steamapps/compatdata/570/pfx |  | steam -applaunch 570 %a |  | "
        "<home>/.local/share/Steam/steamapps/appmanifest_570.acf"},
       {"Steam | <home>/.local/share/Steam | 1", "Heroic | <home>/.config/heroic/GamesConfig | 0",
        "Lutris | <home>/.config/lutris/games | 0", "Bottles | <home>/.local/share/bottles/bottles | 0"},
       {"Steam's record \"<home>/.local/share/Steam/steamapps/libraryfolders.vdf\" is damaged (line ",
        "Heroic's record \"<home>/.config/heroic/GamesConfig/Zarnok.json\" is damaged (parse error at line 3",
        "Lutris's record \"<home>/.config/lutris/games/zarnok-1712345678.yml\" is damaged (line 3: ",
        "Bottles's record \"<home>/.local/share/bottles/bottles/Zarnok/bottle.yml\" is damaged (line 2: "}},
  };
  for (const auto &row : rows) {
    std::string home = fs::canonical(support::makeTempDir()).string();
    row.layOut(home);
    noted.clear();
    std::vector<ManagerRecords> found;
    std::vector<std::string> prefixes, records, expected, expectedRecords;
    for (const ManagedPrefix &p : findManagedPrefixes(home, note, &found))
      prefixes.push_back(p.manager + " | " + p.prefix + " | " + joined(p.environment) + " | " + joined(p.command) +
                         " | " + p.refusal + " | " + p.record);
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
}
