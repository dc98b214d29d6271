// The Linux launcher and the Windows game installed with Wine.  The group
// shares one real prefix in the build tree, made on first use, where the
// win32 build's stand-in game is registered as its installer would do it, in
// a folder with a blank and a non-ASCII letter in its name.  The tests never
// change that prefix: damaged registries are copies in prefixes of their own.
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "e2e/fixture.h"
#include "support/game_managers.h"

namespace fs = std::filesystem;

namespace {

const char folderName[] = "Zarnok Spiel \xC3\x84";
const char notInstalled[] = "Alert text:  Zarnok is not properly installed!  Please reinstall Zarnok.";

// Wine's variables: none of them reaches a launcher started by a browser.
const char *wineVariables[] = {"WINEPREFIX", "WINEDEBUG", "WINEARCH", "WINEDLLOVERRIDES",
                               "WINE", "WINESERVER", "WINELOADER"};

class WinePrefix : public LauncherTest {
 protected:
  static std::string prefix, game;
  static bool registered;

  // A command of Wine's in the group's prefix, through the build's runner.
  static support::RunResult wine(const std::vector<std::string> &args) {
    // Wine reads its arguments in the locale's character set, and the
    // folder's name is UTF-8.  What Wine's tools print goes to the result.
    std::vector<std::string> argv{"/usr/bin/env", "LC_ALL=C.UTF-8", "sh", "-c",
                                  "exec sh \"$0\" \"$@\" 1>&2", ZARNO_WINE_RUN, prefix};
    argv.insert(argv.end(), args.begin(), args.end());
    return support::run(argv);
  }
  static support::RunResult wineserver(const char *option) {
    return support::run({"/usr/bin/env", "WINEPREFIX=" + prefix, "wineserver", option});
  }

  static void SetUpTestSuite() {
    prefix = ZARNO_E2E_WINE_PREFIX;
    support::RunResult made = wine({"cmd", "/c", "exit"});
    std::string folder = prefix + "/drive_c/Games/" + folderName;
    std::error_code error;
    fs::create_directories(folder, error);
    game = folder + "/zarnok-demo.exe";
    fs::copy_file(ZARNO_WINE_GAME, game, fs::copy_options::overwrite_existing, error);
    std::string command = std::string("\"C:\\Games\\") + folderName + "\\zarnok-demo.exe\" \"%1\"";
    support::RunResult added =
        wine({"reg", "add", "HKCR\\Zarnok\\shell\\open\\command", "/ve", "/d", command, "/f"});
    // Wine's server writes the registry files when it ends.
    wineserver("-w");
    registered = !error && made.status == 0 && added.status == 0;
    if (registered)
      game = fs::canonical(game).string();
    else
      fprintf(stderr, "making the prefix failed: %s%s\n", made.errorOutput.c_str(),
              added.errorOutput.c_str());
  }
  // The games ran under Wine; whatever of Wine is still running ends here.
  static void TearDownTestSuite() { wineserver("-k"); }

  void SetUp() override {
    LauncherTest::SetUp();
    ASSERT_TRUE(registered);
    for (const char *name : wineVariables) unsetEnv(name);
  }
  // Each of the lines is in the log.
  void expectLog(const std::vector<std::string> &lines, const std::string &what = "") {
    std::vector<std::string> all = logLines();
    for (const std::string &line : lines)
      EXPECT_NE(std::find(all.begin(), all.end(), line), all.end()) << what << "\n" << logText();
  }
  std::string started(const std::string &in = prefix) {
    return "starting Zarnok through \"wine\" in the Wine prefix \"" + in + "\"";
  }
  support::RunResult launch(const std::vector<std::string> &args) {
    ::remove(log.c_str());
    ::remove(record.c_str());
    std::vector<std::string> all{"-quiet", "-logfile", log};
    all.insert(all.end(), args.begin(), args.end());
    return support::runLauncher(all);
  }
  std::string stored() { return read(HKCR, "ZarnoLaunch", "Path to Zarnok"); }
};

std::string WinePrefix::prefix, WinePrefix::game;
bool WinePrefix::registered = false;

TEST_F(WinePrefix, FindsTheGameInThePrefixAndStartsItUnderWine) {
  std::string home = getenv("HOME");
  std::string server = serverFile("alpha.beta.gamma:7777");
  // Wine's default ~/.wine, and the prefix named by WINEPREFIX.
  const struct {
    std::string wineprefix, named;
  } cases[] = {{"", home + "/.wine"}, {prefix, prefix}};
  for (const auto &c : cases) {
    support::resetRegistry();
    if (!c.wineprefix.empty()) {
      setEnv("WINEPREFIX", c.wineprefix);
    } else {
      unsetEnv("WINEPREFIX");
      fs::create_directory_symlink(prefix, c.named);
    }
    support::RunResult r = launch({server});
    EXPECT_EQ(r.status, 0) << c.named << "\n" << logText() << r.errorOutput;
    expectLog({"game found in the Wine prefix \"" + c.named + "\"", "path to Zarnok: \"" + game + "\"",
               "launching this command line: \"\"" + game + "\" alpha.beta.gamma:7777\"",
               started(c.named)},
              c.named);
    EXPECT_EQ(stored(), game);
    EXPECT_EQ(read(HKCR, "ZarnoLaunch", "Wine prefix of Zarnok"), c.named);
    EXPECT_EQ(gameArguments(), std::vector<std::string>{"alpha.beta.gamma:7777"}) << c.named;
    fs::remove(home + "/.wine");
  }

  // From then on the stored path is all it takes: no Wine variable, no
  // ~/.wine, and the prefix's registry is not read again.
  unsetEnv("WINEPREFIX");
  support::RunResult r = launch({"zarnolaunch://delta.epsilon.zeta:1234"});
  EXPECT_EQ(r.status, 0) << logText() << r.errorOutput;
  EXPECT_EQ(logText().find("game found"), std::string::npos) << logText();
  expectLog({started()});
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"delta.epsilon.zeta:1234"});
}

TEST_F(WinePrefix, InstalledFromATerminalStartedByXdgOpenWithNoWineVariables) {
  std::string home = support::makeTempDir();
  setEnv("XDG_DATA_HOME", home + "/share");
  setEnv("XDG_CONFIG_HOME", home + "/config");
  setEnv("XDG_CURRENT_DESKTOP", "X-Generic");
  setEnv("DISPLAY", ":0");
  setEnv("WINEPREFIX", prefix);
  support::RunResult r = launch({"-install"});
  EXPECT_EQ(r.status, 1) << logText();
  expectLog({"game found in the Wine prefix \"" + prefix + "\"",
             "Alert text:  ZarnoLaunch installed successfully!"});
  EXPECT_EQ(stored(), game);

  unsetEnv("WINEPREFIX");
  ::remove(record.c_str());
  r = support::run({"/bin/sh", "-c", "exec xdg-open \"$1\"", "sh",
                    "zarnolaunch://delta.epsilon.zeta:1234/"});
  EXPECT_EQ(r.status, 0) << r.errorOutput;
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"delta.epsilon.zeta:1234"}) << r.errorOutput;
}

TEST_F(WinePrefix, ADamagedOrUnreadableRegistryIsSkipped) {
  const std::string real = support::readFile(prefix + "/system.reg");
  const std::string key = "\n[Software\\\\Classes\\\\Zarnok\\\\shell\\\\open\\\\command]";
  size_t keyAt = real.find(key);
  ASSERT_NE(keyAt, std::string::npos);
  size_t valueAt = real.find("\n@=", keyAt) + 1;
  std::string cutLine = std::to_string(std::count(real.begin(), real.begin() + valueAt, '\n') + 1);

  // Each in a prefix of its own: what its system.reg holds, or a folder in
  // its place; the line the log gets, if any; how the run ends.
  const struct {
    std::string what, registry, note, alert;
  } cases[] = {
      {"header cut off", real.substr(real.find('\n') + 1), "is damaged at line 1; skipping it",
       notInstalled},
      {"cut inside the value", real.substr(0, valueAt + 12),
       "is damaged at line " + cutLine + "; skipping it", notInstalled},
      {"a folder", "", "cannot be read (error 1016); skipping it", notInstalled},
      {"a program that is not there",
       "WINE REGISTRY Version 2\n" + key.substr(1) + " 1\n@=\"\\\"C:\\\\Games\\\\gone.exe\\\" \\\"%1\\\"\"\n",
       "", "Alert text:  Can't find Zarnok on your system!"},
  };
  for (const auto &c : cases) {
    support::resetRegistry();
    std::string own = support::makeTempDir() + "/prefix";
    fs::create_directories(own + "/drive_c/Games");
    fs::create_directories(own + "/dosdevices");
    fs::create_directory_symlink("../drive_c", own + "/dosdevices/c:");
    if (c.registry.empty())
      fs::create_directory(own + "/system.reg");
    else
      ASSERT_TRUE(support::writeFile(own + "/system.reg", c.registry));
    setEnv("WINEPREFIX", own);
    support::RunResult r = launch({serverFile("a.b.c")});
    EXPECT_EQ(r.status, 1) << c.what;
    if (c.note.empty())
      EXPECT_EQ(logText().find("Wine prefix's registry"), std::string::npos) << c.what << logText();
    else
      expectLog({"the Wine prefix's registry \"" + own + "/system.reg\" " + c.note}, c.what);
    expectLog({c.alert}, c.what);
    EXPECT_EQ(stored(), "<none>") << c.what;
    EXPECT_FALSE(gameStarted()) << c.what;
  }
}

TEST_F(WinePrefix, StartsTheGameInThePrefixItWasFoundIn) {
  // A stand-in for wine that records the prefix it was given and its
  // arguments; each layout is a prefix of its own, and a second disk.
  std::string bin = support::makeTempDir(), wineRecord = bin + "/wine-record";
  ASSERT_TRUE(support::writeFile(bin + "/wine", "#!/bin/sh\nprintf '%s\\n' \"${WINEPREFIX-<unset>}\" \"$@\" > \"$0.tmp\"\n"
                                                "mv \"$0.tmp\" \"" + wineRecord + "\"\n"));
  ASSERT_TRUE(support::makeExecutable(bin + "/wine"));
  setEnv("WINE", bin + "/wine");
  const std::string header = "WINE REGISTRY Version 2\n#arch=win32\n";
  const std::string classes = "[Software\\\\Classes\\\\Zarnok\\\\shell\\\\open\\\\command]\n";
  const struct {
    std::string what, game, system, user;
    bool driveOnDisk, cOnDisk, byHand;
  } cases[] = {
      {"a game on drive D:", "D:/Zarnok/zarnok.exe",
       classes + "@=\"\\\"D:\\\\Zarnok\\\\zarnok.exe\\\" \\\"%1\\\"\"\n", "", true, false, false},
      {"drive_c a link to another disk", "C:/Games/zarnok.exe",
       classes + "@=\"\\\"C:\\\\Games\\\\zarnok.exe\\\" \\\"%1\\\"\"\n", "", false, true, false},
      {"REG_EXPAND_SZ, unquoted", "C:/Program Files/Zarnok/zarnok.exe",
       "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion]\n\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n" +
           classes + "@=str(2):\"%ProgramFiles%\\\\Zarnok\\\\zarnok.exe \\\"%1\\\"\"\n",
       "", false, false, false},
      {"the user's classes first", "C:/Mine/zarnok.exe",
       classes + "@=\"C:\\\\Machine\\\\gone.exe %1\"\n",
       classes + "@=\"\\\"C:\\\\Mine\\\\zarnok.exe\\\" \\\"%1\\\"\"\n", false, false, false},
      {"named by hand, drive_c on another disk", "C:/Games/zarnok.exe", "", "", false, true, true},
  };
  for (const auto &c : cases) {
    support::resetRegistry();
    std::string root = support::makeTempDir(), own = root + "/prefix", disk = root + "/disk";
    fs::create_directories(own + "/dosdevices");
    fs::create_directories(disk + "/drive_c");
    fs::create_directory_symlink(c.cOnDisk ? disk + "/drive_c" : "../drive_c", own + "/dosdevices/c:");
    if (c.cOnDisk)
      fs::create_directory_symlink(disk + "/drive_c", own + "/drive_c");
    else
      fs::create_directories(own + "/drive_c");
    if (c.driveOnDisk) fs::create_directory_symlink(disk, own + "/dosdevices/d:");
    ASSERT_TRUE(support::writeFile(own + "/system.reg", header + c.system));
    ASSERT_TRUE(support::writeFile(own + "/user.reg", header + c.user));
    std::string path = own + "/dosdevices/" + (char)tolower(c.game[0]) + ":" + c.game.substr(2);
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(ZARNO_WINE_GAME, path);
    path = fs::canonical(path).string();
    if (c.byHand) {
      ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", path.c_str()), 0);
    } else {
      // Found with WINEPREFIX set, as the player would run "-install" ...
      setEnv("WINEPREFIX", own);
      EXPECT_EQ(launch({"-launch", serverFile("a.b.c")}).status, 0) << c.what << logText();
      EXPECT_EQ(stored(), path) << c.what;
    }
    // ... and started with none, as a browser starts the launcher.
    unsetEnv("WINEPREFIX");
    ::remove(wineRecord.c_str());
    EXPECT_EQ(launch({"zarnolaunch://a.b.c:1"}).status, 0) << c.what << logText();
    EXPECT_TRUE(support::waitForFile(wineRecord, 20000)) << c.what;
    std::string prefixSeen = c.byHand ? "<unset>" : own;
    EXPECT_EQ(support::readFile(wineRecord), prefixSeen + "\n" + path + "\na.b.c:1\n") << c.what;
  }
}

// A private home for the game managers' records, with stand-ins for the
// programs the managers start games with: each records its name, its
// arguments and the variables the managers set.
class GameManagers : public WinePrefix {
 protected:
  std::string home, bin, standIn;
  void SetUp() override {
    WinePrefix::SetUp();
    home = support::makeTempDir();
    bin = support::makeTempDir();
    standIn = bin + "/record";
    setEnv("HOME", home);
    setEnv("XDG_DATA_HOME", home + "/.local/share");
    setEnv("XDG_CONFIG_HOME", home + "/.config");
    setEnv("PATH", bin + ":" + std::string(getenv("PATH") ? getenv("PATH") : "/usr/bin"));
    for (const char *name : {"steam", "flatpak", "snap", "bottles-cli", "wine", "umu-run"}) program(bin + "/" + name);
  }
  void program(const std::string &path) {
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_TRUE(support::writeFile(
        path, "#!/bin/sh\n{ basename \"$0\"; printf '%s\\n' \"$@\"; for v in WINEPREFIX "
              "STEAM_COMPAT_DATA_PATH STEAM_COMPAT_CLIENT_INSTALL_PATH PROTONPATH; do eval \"echo $v=\\${$v-}\"; "
              "done; echo \"in $(pwd -P)\"; } > \"" + standIn + ".tmp\"\nmv \"" + standIn + ".tmp\" \"" + standIn +
              "\"\n"));
    ASSERT_TRUE(support::makeExecutable(path));
  }
  // The game, as its installer registers it, in a prefix: its Linux path.
  std::string installIn(const std::string &pfx, const std::string &time = "") {
    std::string game = pfx + "/drive_c/Games/Zarnok/zarnok.exe";
    fs::create_directories(fs::path(game).parent_path());
    fs::copy_file(ZARNO_WINE_GAME, game, fs::copy_options::overwrite_existing);
    std::string registry = support::readFile(pfx + "/system.reg") +
                           "\n[Software\\\\Classes\\\\Zarnok\\\\shell\\\\open\\\\command] 1712345678\n"
                           "@=\"\\\"C:\\\\Games\\\\Zarnok\\\\zarnok.exe\\\" \\\"%1\\\"\"\n";
    EXPECT_TRUE(support::writeFile(pfx + "/system.reg", registry));
    if (!time.empty()) support::run({"/usr/bin/touch", "-d", time, pfx + "/system.reg"});
    return fs::canonical(game).string();
  }
};

TEST_F(GameManagers, EachStartsTheGameItsOwnWay) {
  // One layout a way of starting, as the manager writes it (the unit tests
  // have the others); the prefix it makes; what the link opened through
  // xdg-open ran ("$GAME" for the game's Linux path, "$HOME" for the home),
  // with the variables and the folder it ran in.
  const std::string share = "/.local/share", steam = share + "/Steam";
  struct Row {
    std::string what;
    std::function<std::string(const std::string &)> lay;
    std::vector<std::string> ran;
  } rows[] = {
      {"Steam, the game in its own app's folder",
       [&](const std::string &h) {
         support::makeSteamRoot(h + steam, {h + steam, h + "/Games/Library"});
         support::makeSteamApp(h + "/Games/Library", "1240", true);
         std::string pfx = h + "/Games/Library/steamapps/compatdata/1240/pfx";
         fs::create_directories(pfx + "/drive_c/Games/Zarnok");
         fs::remove(h + "/Games/Library/steamapps/common/Zarnok");
         fs::create_directory_symlink(pfx + "/drive_c/Games/Zarnok", h + "/Games/Library/steamapps/common/Zarnok");
         return pfx;
       },
       {"steam", "-applaunch", "1240", "a.b.c:1", "WINEPREFIX=", "STEAM_COMPAT_DATA_PATH=",
        "STEAM_COMPAT_CLIENT_INSTALL_PATH=", "PROTONPATH=", "in $GAMEDIR"}},
      {"Steam, a shortcut: its Proton in the runtime, in its start folder",
       [&](const std::string &h) {
         support::makeSteamRoot(h + steam, {h + steam});
         support::makeSteamApp(h + steam, "3012345678", false);
         std::string pfx = h + steam + "/steamapps/compatdata/3012345678/pfx";
         support::makeSteamShortcuts(h + steam, "1", {{3012345678, "Zarnok", pfx + "/drive_c/Games/Zarnok/zarnok.exe", h}});
         support::makeSteamToolChoice(h + steam, {{"0", "GE-Proton9-20"}});
         program(support::makeCustomTool(h + steam, "GE-Proton9-20", "GE-Proton9-20", "1628350") + "/proton");
         program(support::makeSteamTool(h + steam, "1628350", "SteamLinuxRuntime_sniper",
                                        "/_v2-entry-point --verb=%verb% --", "") +
                 "/_v2-entry-point");
         return pfx;
       },
       {"_v2-entry-point", "--verb=waitforexitandrun", "--", "$HOME" + steam + "/compatibilitytools.d/GE-Proton9-20/proton",
        "waitforexitandrun", "$GAME", "a.b.c:1", "WINEPREFIX=",
        "STEAM_COMPAT_DATA_PATH=$HOME" + steam + "/steamapps/compatdata/3012345678",
        "STEAM_COMPAT_CLIENT_INSTALL_PATH=$HOME" + steam, "PROTONPATH=", "in $HOME"}},
      {"Steam, a prefix borrowed from another game, whose Wine server runs: its Proton, bare, in that server",
       [&](const std::string &h) {
         support::makeSteamRoot(h + steam, {h + steam});
         support::makeSteamApp(h + steam, "1091500", true);
         support::makeSteamToolChoice(h + steam, {{"1091500", "proton_9"}});
         support::makeSteamAppinfo(h + steam, {{"proton_9", "2805730"}});
         program(support::makeSteamTool(h + steam, "2805730", "Proton 9.0", "/proton %verb%", "") + "/proton");
         std::string pfx = h + steam + "/steamapps/compatdata/1091500/pfx";
         support::run({"/usr/bin/env", "WINEPREFIX=" + pfx, "wineserver", "-p"});
         return pfx;
       },
       {"proton", "runinprefix", "$GAME", "a.b.c:1", "WINEPREFIX=",
        "STEAM_COMPAT_DATA_PATH=$HOME" + steam + "/steamapps/compatdata/1091500",
        "STEAM_COMPAT_CLIENT_INSTALL_PATH=$HOME" + steam, "PROTONPATH=", "in $GAMEDIR"}},
      {"Heroic, Proton through umu",
       [&](const std::string &h) {
         support::makeHeroicGame(h, h + "/.config/heroic/GamesConfig", "Zarnok", h + "/Games/Heroic/Prefixes/Zarnok",
                                 h + "/proton/proton", "proton");
         program(h + share + "/umu/steamrt3/umu");
         return h + "/Games/Heroic/Prefixes/Zarnok/pfx";
       },
       {"umu-run", "$GAME", "a.b.c:1", "WINEPREFIX=$HOME/Games/Heroic/Prefixes/Zarnok", "STEAM_COMPAT_DATA_PATH=",
        "STEAM_COMPAT_CLIENT_INSTALL_PATH=", "PROTONPATH=$HOME/proton", "in $GAMEDIR"}},
      {"Lutris",
       [&](const std::string &h) {
         support::makeLutrisGame(h, h + share + "/lutris/games", "zarnok", h + "/Games/zarnok", "lutris-7.2");
         program(h + share + "/lutris/runners/wine/lutris-7.2/bin/wine");
         return h + "/Games/zarnok";
       },
       {"wine", "$GAME", "a.b.c:1", "WINEPREFIX=$HOME/Games/zarnok", "STEAM_COMPAT_DATA_PATH=",
        "STEAM_COMPAT_CLIENT_INSTALL_PATH=", "PROTONPATH=", "in $GAMEDIR"}},
      {"Lutris, its default Proton through umu",
       [&](const std::string &h) {
         support::makeLutrisGame(h, h + share + "/lutris/games", "zarnok", h + "/Games/zarnok", "");
         program(h + share + "/umu/steamrt3/umu");
         program(h + steam + "/compatibilitytools.d/GE-Proton9-20/proton");
         return h + "/Games/zarnok";
       },
       {"umu-run", "$GAME", "a.b.c:1", "WINEPREFIX=$HOME/Games/zarnok", "STEAM_COMPAT_DATA_PATH=",
        "STEAM_COMPAT_CLIENT_INSTALL_PATH=", "PROTONPATH=$HOME" + steam + "/compatibilitytools.d/GE-Proton9-20",
        "in $GAMEDIR"}},
      {"Bottles, Flatpak",
       [&](const std::string &h) {
         return support::makeBottle(h + "/.var/app/com.usebottles.bottles/data/bottles/bottles", "Zarnok Games", "");
       },
       {"flatpak", "run", "--command=bottles-cli", "com.usebottles.bottles", "run", "-b", "Zarnok Games", "-e",
        "$GAME", "--", "a.b.c:1", "WINEPREFIX=", "STEAM_COMPAT_DATA_PATH=", "STEAM_COMPAT_CLIENT_INSTALL_PATH=",
        "PROTONPATH=", "in $GAMEDIR"}},
  };
  setEnv("XDG_CURRENT_DESKTOP", "X-Generic");
  setEnv("DISPLAY", ":0");
  for (Row &row : rows) {
    support::resetRegistry();
    fs::remove_all(home);
    fs::create_directories(home);
    std::string pfx = row.lay(home), game = installIn(pfx);
    program(home + "/proton/proton");
    support::RunResult r = launch({"-install"});
    expectLog({"Alert text:  ZarnoLaunch installed successfully!"}, row.what);
    ::remove(standIn.c_str());
    r = support::run({"/bin/sh", "-c", "exec xdg-open \"$1\"", "sh", "zarnolaunch://a.b.c:1/"});
    EXPECT_EQ(r.status, 0) << row.what << r.errorOutput;
    ASSERT_TRUE(support::waitForFile(standIn, 20000)) << row.what;
    std::string expected;
    for (std::string line : row.ran) {
      for (auto [code, value] : {std::pair<std::string, std::string>{"$GAMEDIR", fs::path(game).parent_path()},
                                 {"$GAME", game}, {"$HOME", home}})
        if (line.find(code) != std::string::npos) line.replace(line.find(code), code.size(), value);
      expected += line + "\n";
    }
    EXPECT_EQ(support::readFile(standIn), expected) << row.what;
    support::run({"/usr/bin/env", "WINEPREFIX=" + pfx, "wineserver", "-k"});
  }
}

TEST_F(GameManagers, ChoosesAPrefixAndRemembersIt) {
  // Where the game is, with the time each prefix's registry changed; the
  // prefix chosen, by the manager that keeps it.
  const std::string games = home + "/.local/share/lutris/games";
  auto heroic = [&](const char *time) {
    support::makeHeroicGame(home, home + "/.config/heroic/GamesConfig", "Zarnok", home + "/Heroic",
                            home + "/wine-ge/bin/wine", "wine");
    installIn(home + "/Heroic", time);
  };
  auto lutris = [&](const char *time) {
    support::makeLutrisGame(home, games, "zarnok", home + "/Lutris", "");
    program(home + "/.local/share/Steam/compatibilitytools.d/GE-Proton9-20/proton");
    program(home + "/.local/share/umu/steamrt3/umu");
    installIn(home + "/Lutris", time);
  };
  auto plain = [&](const char *time) {
    support::makeWinePrefix(home + "/.wine");
    installIn(home + "/.wine", time);
  };
  const struct {
    std::string what;
    std::function<void()> lay;
    std::string wineprefix, chosen, manager;
  } rows[] = {
      {"a manager's prefix before a bare one", [&] { plain("2026-12-01"); heroic("2026-11-01"); }, "",
       "/Heroic", "Heroic"},
      {"the registry changed last", [&] { heroic("2026-11-01"); lutris("2026-12-01"); }, "", "/Lutris",
       "Lutris"},
      {"the order of the search", [&] { heroic("2026-11-01"); lutris("2026-11-01"); }, "", "/Heroic",
       "Heroic"},
      {"one that can start it", [&] {
         plain("2026-11-01");
         support::makeSteamRoot(home + "/.steam/steam", {home + "/.steam/steam"});
         support::makeSteamApp(home + "/.steam/steam", "7", false);
         installIn(home + "/.steam/steam/steamapps/compatdata/7/pfx", "2026-12-01");
       }, "", "/.wine", "<none>"},
      {"$WINEPREFIX outright", [&] { heroic("2026-12-01"); lutris("2026-11-01"); }, "/Lutris", "/Lutris",
       "Lutris"},
  };
  for (const auto &row : rows) {
    support::resetRegistry();
    fs::remove_all(home);
    fs::create_directories(home);
    row.lay();
    if (row.wineprefix.empty())
      unsetEnv("WINEPREFIX");
    else
      setEnv("WINEPREFIX", home + row.wineprefix);
    EXPECT_EQ(launch({"-install"}).status, 1) << row.what << logText();
    EXPECT_EQ(read(HKCR, "ZarnoLaunch", "Wine prefix of Zarnok"), home + row.chosen) << row.what;
    EXPECT_EQ(read(HKCR, "ZarnoLaunch", "Game manager of Zarnok"), row.manager) << row.what;
    expectLog({"choosing the Wine prefix \"" + home + row.chosen + "\"" +
               (row.manager == "<none>" ? "" : " (" + row.manager + ")")},
              row.what);
  }

  // What is stored stays true: each change is noticed on the next click,
  // and nothing is read again but for it.
  unsetEnv("WINEPREFIX");
  std::string yml = games + "/zarnok-1712345678.yml", runner = home + "/.local/share/lutris/runners/wine/"
                                                                       "lutris-7.2/bin/wine";
  program(home + "/wine-ge/bin/wine");
  // A Steam shortcut, its Proton and the runtime, for the changes below.
  const std::string root = home + "/.local/share/Steam", pfx = root + "/steamapps/compatdata/3012345678/pfx";
  const std::string ge = root + "/compatibilitytools.d/GE-Proton9-20", slr = root + "/steamapps/common/"
                                                                                   "SteamLinuxRuntime_sniper";
  const std::string slrManifest = root + "/steamapps/appmanifest_1628350.acf",
                    old = support::makeSteamTool(home + "/Old", "2348590", "Proton 8.0", "/proton %verb%", "1628350");
  auto shortcut = [&](const std::string &start) {
    fs::create_directories(start);
    support::makeSteamShortcuts(root, "1", {{3012345678, "Zarnok", pfx + "/drive_c/Games/Zarnok/zarnok.exe", start}});
  };
  auto runtime = [&] {
    program(support::makeSteamTool(root, "1628350", "SteamLinuxRuntime_sniper", "/_v2-entry-point --verb=%verb% --",
                                   "") + "/_v2-entry-point");
  };
  const struct {
    std::string what;
    std::function<void()> change;
    std::string noted, ran;
  } changes[] = {
      {"the player's new Wine in the manager",
       [&] {
         program(runner);
         support::makeLutrisGame(home, games, "zarnok", home + "/Lutris", "lutris-7.2");
       },
       "looking for Zarnok again: \"" + yml + "\" has changed", "wine"},
      {"that Wine removed: the manager's default", [&] { fs::remove(runner); },
       "looking for Zarnok again: \"" + runner + "\", which starts Zarnok, is gone", "umu-run"},
      {"the prefix removed: the game in another", [&] { fs::remove_all(home + "/Lutris"); },
       "looking for Zarnok again: \"" + home + "/Lutris/drive_c/Games/Zarnok/zarnok.exe\" is gone", "wine"},
      {"that prefix removed: the game in a Steam shortcut's, its Proton in the runtime",
       [&] {
         fs::remove_all(home + "/Heroic");
         support::makeSteamRoot(root, {root});
         support::makeSteamApp(root, "3012345678", false);
         installIn(pfx);
         shortcut(home);
         support::makeSteamToolChoice(root, {{"0", "GE-Proton9-20"}});
         program(support::makeCustomTool(root, "GE-Proton9-20", "GE-Proton9-20", "1628350") + "/proton");
         runtime();
         program(old + "/proton");
         support::putFile(pfx + "/../config_info", "8.0-104\n" + old + "/files/share/fonts/\n");
       },
       "looking for Zarnok again: \"" + home + "/Heroic/drive_c/Games/Zarnok/zarnok.exe\" is gone",
       "_v2-entry-point\n" + ge + "/proton"},
      {"the shortcut's start folder changed", [&] { shortcut(home + "/Start"); },
       "looking for Zarnok again: \"" + root + "/userdata/1/config/shortcuts.vdf\" has changed", "in " + home + "/Start"},
      {"that Proton removed, the runtime kept: the one that last ran the prefix", [&] { fs::remove_all(ge); },
       "looking for Zarnok again: \"" + ge + "/proton\", which starts Zarnok, is gone", "_v2-entry-point\n" + old + "/proton"},
      {"the runtime removed: Proton alone", [&] { fs::remove_all(slr); fs::remove(slrManifest); },
       "looking for Zarnok again: \"" + slr + "/_v2-entry-point\", which starts Zarnok, is gone", "proton"},
      {"the runtime installed later", [&] { runtime(); },
       "looking for Zarnok again: \"" + slrManifest + "\" has changed", "_v2-entry-point"},
      {"the runtime's folder missing, its manifest kept: Proton alone", [&] { fs::remove_all(slr); },
       "looking for Zarnok again: \"" + slr + "/_v2-entry-point\", which starts Zarnok, is gone", "proton"},
      {"another record damaged: not read", [&] { support::writeFile(yml, "game: [unclosed\n"); }, "", "proton"},
  };
  for (const auto &c : changes) {
    c.change();
    ::remove(standIn.c_str());
    EXPECT_EQ(launch({"zarnolaunch://a.b.c:1"}).status, 0) << c.what << logText();
    if (c.noted.empty())
      EXPECT_EQ(logText().find("looking for Zarnok again"), std::string::npos) << c.what << logText();
    else
      expectLog({c.noted}, c.what);
    EXPECT_EQ(logText().find("damaged"), std::string::npos) << c.what << logText();
    EXPECT_EQ(logText().find("Reinstall"), std::string::npos) << c.what << logText();
    ASSERT_TRUE(support::waitForFile(standIn, 20000)) << c.what;
    // Each line of ran is a line of what ran.
    std::string ran = "\n" + support::readFile(standIn);
    for (size_t at = 0, end; at < c.ran.size(); at = end + 1) {
      end = std::min(c.ran.find('\n', at), c.ran.size());
      EXPECT_NE(ran.find("\n" + c.ran.substr(at, end - at) + "\n"), std::string::npos) << c.what << ran;
    }
  }
  // -install looks again, and passes over the damaged record.
  EXPECT_EQ(launch({"-install"}).status, 1);
  EXPECT_NE(logText().find("damaged"), std::string::npos) << logText();
}

TEST_F(GameManagers, RealWineThroughALutrisRunner) {
  // Lutris's runner folder with Debian's Wine in it, and the group's real
  // prefix, where the real stand-in game records the address.
  std::string data = home + "/.local/share/lutris";
  fs::create_directories(data + "/runners/wine/debian-8/bin");
  fs::create_symlink("/usr/bin/wine", data + "/runners/wine/debian-8/bin/wine");
  support::makeLutrisGame(home, data + "/games", "zarnok", prefix, "debian-8");
  EXPECT_EQ(launch({"-install"}).status, 1) << logText();
  EXPECT_EQ(read(HKCR, "ZarnoLaunch", "Game manager of Zarnok"), "Lutris");
  EXPECT_EQ(launch({"zarnolaunch://real.wine.test:7777"}).status, 0) << logText();
  // Words with blanks (a build tree's path may have them) are in quotes.
  auto word = [](const std::string &w) { return w.find(' ') == std::string::npos ? w : "\"" + w + "\""; };
  expectLog({"starting Zarnok with \"WINEPREFIX=" + word(prefix) + " " +
             word(data + "/runners/wine/debian-8/bin/wine") + " %e %a\""});
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"real.wine.test:7777"});
}

TEST_F(WinePrefix, NoWineToStartIt) {
  setEnv("WINEPREFIX", prefix);
  std::string emptyPath = support::makeTempDir();
  const struct {
    std::string path, wine;
  } cases[] = {{emptyPath, ""}, {getenv("PATH") ? getenv("PATH") : "/usr/bin", emptyPath + "/wine"}};
  for (const auto &c : cases) {
    support::resetRegistry();
    setEnv("PATH", c.path);
    if (!c.wine.empty()) setEnv("WINE", c.wine);
    support::RunResult r = launch({serverFile("a.b.c")});
    EXPECT_EQ(r.status, 1) << c.path << " " << c.wine;
    expectLog({"Alert text:  Zarnok is a Windows program, and Wine was not found to start it."},
              c.path + " " + c.wine);
    EXPECT_FALSE(gameStarted());
  }
}

}  // namespace
