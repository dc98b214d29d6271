// The Linux launcher and the Windows game installed with Wine.  The group
// shares one real prefix in the build tree, made on first use, where the
// win32 build's stand-in game is registered as its installer would do it, in
// a folder with a blank and a non-ASCII letter in its name.  The tests never
// change that prefix: damaged registries are copies in prefixes of their own.
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/fixture.h"

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
