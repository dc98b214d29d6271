// "-install" and "-uninstall": the file type, the MIME entry and Navigator's
// helper entries, for the machine and for a standard user.
#include <string>

#include "e2e/fixture.h"

namespace {

const char navigator[] = "Software\\Netscape\\Netscape Navigator";
const char viewers[] = "Software\\Netscape\\Netscape Navigator\\Viewers";

class Install : public LauncherTest {
 protected:
  std::string game;
  void SetUp() override {
    LauncherTest::SetUp();
    game = installGame();
  }
  support::RunResult install() {
    support::RunResult r = support::runLauncher({"-quiet", "-logfile", log, "-install"});
    EXPECT_EQ(r.status, 1);
    return r;
  }
  void expectSuccess() {
    std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 3u) << logText();
    EXPECT_EQ(lines[0], "Running -install logic.");
    EXPECT_EQ(lines[1], "Alert title: [ZarnokLaunch]");
    EXPECT_EQ(lines[2], "Alert text:  ZarnoLaunch installed successfully!");
  }
};

// Every entry of the registration, as key, value name and data, for a game
// without an icon entry of its own and a launcher at that path: the class
// entries (below the place's classes), then the capabilities for Default
// apps (below the place's root).
std::vector<std::vector<std::string>> registrationRows(const std::string &game,
                                                        const std::string &launcher) {
  std::string command = "\"" + launcher + "\" \"%1\"";
  std::string application = "Applications\\" + launcher.substr(launcher.find_last_of("/\\") + 1);
  std::string capabilities = "/Software\\ZarnoLaunch\\Capabilities";
  return {
      {".zarnok", "", "ZarnoLaunch"},
      {"ZarnoLaunch", "", "Zarnok Launcher"},
      {"ZarnoLaunch", "Path to Zarnok", game},
      {"ZarnoLaunch\\DefaultIcon", "", game},
      {"ZarnoLaunch\\shell\\open\\command", "", command},
      {"MIME\\Database\\Content Type\\application/zarnolaunch", "Extension", ".zarnok"},
      {"ZarnoLaunch", "editflags", std::string("\0\0\1\0", 4)},
      {"ZarnoLaunch", "URL Protocol", ""},
      {"ZarnoLaunch", "FriendlyTypeName", "Zarnok server link"},
      {"ZarnoLaunch\\shell\\open", "FriendlyAppName", "ZarnoLaunch"},
      {".zarnok\\OpenWithProgids", "ZarnoLaunch", ""},
      {application, "FriendlyAppName", "ZarnoLaunch"},
      {application + "\\SupportedTypes", ".zarnok", ""},
      {application + "\\shell\\open\\command", "", command},
      {capabilities, "ApplicationName", "ZarnoLaunch"},
      {capabilities, "ApplicationDescription",
       "Opens Zarnok server links and .zarnok files, and starts Zarnok on that server."},
      {capabilities, "ApplicationIcon", launcher + ",0"},
      {capabilities + "\\FileAssociations", ".zarnok", "ZarnoLaunch"},
      {capabilities + "\\URLAssociations", "zarnolaunch", "ZarnoLaunch"},
      {capabilities + "\\MIMEAssociations", "application/zarnolaunch", "ZarnoLaunch"},
      {"/Software\\RegisteredApplications", "ZarnoLaunch", "Software\\ZarnoLaunch\\Capabilities"},
  };
}

// root is HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER.
void expectClassRows(unsigned long root, const std::string &game,
                     const std::string &launcher = support::registeredLauncher()) {
  for (const std::vector<std::string> &row : registrationRows(game, launcher)) {
    std::string key = row[0][0] == '/' ? row[0].substr(1) : "Software\\Classes\\" + row[0];
    const char *name = row[1].empty() ? nullptr : row[1].c_str();
    char *value = regReadString(root, key.c_str(), name);
    ASSERT_NE(value, nullptr) << key << " " << row[1];
    // The edit flags are binary, four bytes with zeros among them.
    std::string got = row[1] == "editflags" ? std::string(value, 4) : std::string(value);
    EXPECT_EQ(got, row[2]) << key << " " << row[1];
    free(value);
  }
}

TEST_F(Install, RegistersTheFileType) {
  install();
  expectSuccess();
  expectClassRows(HKLM, game);
  // Without Navigator's settings nothing goes under HKEY_CURRENT_USER.
  EXPECT_FALSE(regKeyExists(HKCU, "Software\\Netscape"));
  EXPECT_FALSE(regKeyExists(HKCU, "Software\\Classes\\ZarnoLaunch"));
  // The game's own key is the game's: the scheme key is never "zarnok".
  EXPECT_EQ(read(HKCR, "Zarnok\\shell\\open\\command", nullptr),
            "\"" + game + "\" \"%1\"");
}

TEST_F(Install, AStandardUserRegistersForThemselves) {
  std::string launcher = support::accountLauncherPath("standard-user");
  support::RunResult r = support::run({launcher, "-quiet", "-logfile", log, "-install"});
  EXPECT_EQ(r.status, 1);
  std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 4u) << logText();
  EXPECT_EQ(lines[0], "Registering for the current user only.");
  EXPECT_EQ(lines[1], "Running -install logic.");
  EXPECT_EQ(lines[3], "Alert text:  ZarnoLaunch installed successfully!");
  expectClassRows(HKCU, game, launcher);
  EXPECT_FALSE(regKeyExists(HKCR, ".zarnok"));
  EXPECT_FALSE(regKeyExists(HKCR, "ZarnoLaunch"));

  // And takes it back: the user's classes go, the refused machine's
  // classes hold nothing to remove.
  ::remove(log.c_str());
  r = support::run({launcher, "-quiet", "-logfile", log, "-uninstall"});
  EXPECT_EQ(r.status, 0) << logText();
  EXPECT_FALSE(regKeyExists(HKCU, "Software\\Classes\\ZarnoLaunch"));
  EXPECT_FALSE(regKeyExists(HKCU, "Software\\Classes\\.zarnok"));
  for (const char *key : {"Software\\Classes\\MIME", "Software\\Classes\\Applications",
                          "Software\\ZarnoLaunch", "Software\\RegisteredApplications"})
    EXPECT_FALSE(regKeyExists(HKCU, key)) << key;
}

TEST_F(Install, AStandardUserAfterExplorerHasBeenThere) {
  // Explorer's "Open with" leaves a list under the user's ".zarnok", which
  // "-uninstall" rightly keeps; writes through HKEY_CLASSES_ROOT to that key
  // then land in the user's classes, and the next key is refused.
  std::string launcher = support::accountLauncherPath("standard-user");
  EXPECT_EQ(support::run({launcher, "-quiet", "-install"}).status, 1);
  ASSERT_EQ(regWriteString(HKCU, "Software\\Classes\\.zarnok\\OpenWithProgids", "Other.Type", ""), 0);
  EXPECT_EQ(support::run({launcher, "-quiet", "-uninstall"}).status, 0);
  ASSERT_TRUE(regKeyExists(HKCU, "Software\\Classes\\.zarnok\\OpenWithProgids"));

  support::RunResult r = support::run({launcher, "-quiet", "-logfile", log, "-install"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(logLines(), (std::vector<std::string>{"Registering for the current user only.",
                                                   "Running -install logic.",
                                                   "Alert title: [ZarnokLaunch]",
                                                   "Alert text:  ZarnoLaunch installed successfully!"}));
  expectClassRows(HKCU, game, launcher);
  EXPECT_EQ(read(HKCU, "Software\\Classes\\.zarnok\\OpenWithProgids", "Other.Type"), "");
  EXPECT_FALSE(regKeyExists(HKCR, "ZarnoLaunch"));
  r = support::run({launcher, "-quiet", "zarnolaunch://after.explorer.test:1"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"after.explorer.test:1"});
}

TEST_F(Install, AnAdministratorRegistersForEveryUserWhole) {
  // Explorer's "Open with" left ".zarnok" in the administrator's own classes.
  // Written through HKEY_CLASSES_ROOT, the registration's ".zarnok" would
  // land there, and every other user would have none.
  std::string launcher = support::accountLauncherPath("administrator");
  ASSERT_EQ(regWriteString(HKCU, "Software\\Classes\\.zarnok\\OpenWithProgids", "Other.Type", ""), 0);
  support::RunResult r = support::run({launcher, "-quiet", "-logfile", log, "-install"});
  EXPECT_EQ(r.status, 1);
  expectSuccess();
  expectClassRows(HKLM, game, launcher);
  EXPECT_EQ(read(HKCU, "Software\\Classes\\.zarnok", nullptr), "<none>");
  EXPECT_FALSE(regKeyExists(HKCU, "Software\\Classes\\ZarnoLaunch"));

  // Its program gone, the registration for all users is stale.  A standard
  // user, who may not remove it, takes back their own and is told; the
  // administrator removes it.
  std::string gone = "\"" + support::joinPath(dir, "gone.exe") + "\" \"%1\"";
  ASSERT_EQ(regWriteString(HKLM, "Software\\Classes\\ZarnoLaunch\\shell\\open\\command", nullptr,
                           gone.c_str()),
            0);
  std::string user = support::accountLauncherPath("standard-user");
  EXPECT_EQ(support::run({user, "-quiet", "-install"}).status, 1);
  ASSERT_TRUE(regKeyExists(HKCU, "Software\\Classes\\ZarnoLaunch"));
  ::remove(log.c_str());
  r = support::run({user, "-quiet", "-logfile", log, "-uninstall"});
  EXPECT_EQ(r.status, 0) << logText();
  EXPECT_EQ(logLines(), (std::vector<std::string>{
                            "Running -uninstall logic.",
                            "The registration for all users stays: an administrator can remove it with "
                            "\"ZarnoLaunch.exe -uninstall\".",
                            "Alert title: [ZarnoLaunch]", "Alert text:  ZarnoLaunch uninstalled successfully!"}));
  EXPECT_FALSE(regKeyExists(HKCU, "Software\\Classes\\ZarnoLaunch"));
  EXPECT_EQ(read(HKLM, "Software\\Classes\\ZarnoLaunch\\shell\\open\\command", nullptr), gone);
  EXPECT_EQ(support::run({launcher, "-quiet", "-uninstall"}).status, 0);
  EXPECT_FALSE(regKeyExists(HKLM, "Software\\Classes\\ZarnoLaunch"));
  EXPECT_EQ(read(HKLM, "Software\\Classes\\.zarnok", nullptr), "<none>");
  EXPECT_EQ(read(HKCU, "Software\\Classes\\.zarnok\\OpenWithProgids", "Other.Type"), "");
}

TEST_F(Install, TheSuccessBoxIsShown) {
  if (!support::boxesOnStandardError()) GTEST_SKIP() << "message boxes are real windows here";
  support::RunResult r = support::runLauncher({"-install", "-quiet"});
  EXPECT_EQ(r.status, 1);
  // What follows the first line depends on where the build is (the desktop
  // tests check that advice).
  EXPECT_EQ(r.errorOutput.rfind("ZarnokLaunch\nZarnoLaunch installed successfully!\n", 0), 0u) << r.errorOutput;
}

TEST_F(Install, TheGamesOwnIconIsBorrowed) {
  ASSERT_EQ(regWriteString(HKCR, "Zarnok\\DefaultIcon", nullptr, "C:\\Games\\zarnok.exe,1"), 0);
  install();
  EXPECT_EQ(read(HKCR, "ZarnoLaunch\\DefaultIcon", nullptr), "C:\\Games\\zarnok.exe,1");
}

TEST_F(Install, NavigatorViewerList) {
  const char *type = "application/zarnolaunch";
  struct Case {
    std::vector<std::pair<std::string, std::string>> before;
    std::vector<std::pair<std::string, std::string>> after;
  } cases[] = {
      {{}, {{"TYPE0", type}}},
      {{{"TYPE0", "text/plain"}, {"TYPE1", "image/gif"}},
       {{"TYPE0", "text/plain"}, {"TYPE1", "image/gif"}, {"TYPE2", type}, {"TYPE3", "<none>"}}},
      {{{"TYPE0", "text/plain"}, {"TYPE1", "APPLICATION/ZarnoLaunch"}},
       {{"TYPE1", "APPLICATION/ZarnoLaunch"}, {"TYPE2", "<none>"}}},
      {{{"TYPE0", "text/plain"}, {"TYPE2", type}},
       {{"TYPE1", type}, {"TYPE2", type}, {"TYPE3", "<none>"}}},
  };
  for (const Case &c : cases) {
    support::resetRegistry();
    ::remove(log.c_str());
    installGame();
    ASSERT_EQ(regWriteString(HKCU, navigator, "Existing", "yes"), 0);
    for (const auto &v : c.before)
      ASSERT_EQ(regWriteString(HKCU, viewers, v.first.c_str(), v.second.c_str()), 0);
    install();
    expectSuccess();
    for (const auto &v : c.after) EXPECT_EQ(read(HKCU, viewers, v.first.c_str()), v.second) << v.first;
  }
  std::string self = support::registeredLauncher();
  EXPECT_EQ(read(HKCU, "Software\\Netscape\\Netscape Navigator\\Suffixes", type), "zarnok");
  EXPECT_EQ(read(HKCU, viewers, type), self);
  EXPECT_EQ(read(HKCU, "Software\\Netscape\\Netscape Navigator\\User Trusted External Applications",
                 self.c_str()),
            "Yes");
}

TEST_F(Install, ASecondInstallChangesNothing) {
  ASSERT_EQ(regWriteString(HKCU, navigator, "Existing", "yes"), 0);
  ASSERT_EQ(regWriteString(HKCU, viewers, "TYPE0", "text/plain"), 0);
  install();
  std::string first = support::dumpRegistry();
  EXPECT_NE(first.find("zarnolaunch"), std::string::npos);
  install();
  EXPECT_EQ(support::dumpRegistry(), first);
}

TEST_F(Install, LinkFilesAroundInstallAreNotRead) {
  std::string link = serverFile("a.b.c:1");
  for (const auto &args : {std::vector<std::string>{"-quiet", "-logfile", log, link, "-install"},
                           std::vector<std::string>{"-quiet", "-logfile", log, "-install", link}}) {
    support::RunResult r = support::runLauncher(args);
    EXPECT_EQ(r.status, 1);
    expectSuccess();
    ::remove(log.c_str());
  }
  EXPECT_FALSE(support::waitForFile(record, 300));
}

TEST_F(Install, WithoutTheGameOnlyTheFirstStepsAreDone) {
  support::resetRegistry();
  support::RunResult r = install();
  std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Running -install logic.");
  EXPECT_EQ(lines[2], "Alert text:  Zarnok is not properly installed!  Please reinstall Zarnok.");
  EXPECT_EQ(read(HKCR, ".zarnok", nullptr), "ZarnoLaunch");
  EXPECT_EQ(read(HKCR, "ZarnoLaunch", nullptr), "Zarnok Launcher");
  EXPECT_FALSE(regKeyExists(HKCR, "ZarnoLaunch\\shell"));
}

TEST_F(Install, AFailedWriteIsNotASuccess) {
  if (support::registryFilePath().empty()) GTEST_SKIP() << "needs the stand-in registry";
  struct Case {
    const char *option;
    bool installedBefore;
    std::string message;
  } cases[] = {
      {"-install", false,
       "could not register itself: writing \"HKEY_LOCAL_MACHINE\\Software\\Classes\\.zarnok\" failed "
       "(error 1016)."},
      {"-uninstall", true,
       "could not unregister itself: removing \"HKEY_LOCAL_MACHINE\\Software\\Classes\\ZarnoLaunch\" "
       "failed (error 1016)."},
  };
  for (const Case &c : cases) {
    support::resetRegistry();
    installGame();
    if (c.installedBefore) install();
    ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", game.c_str()), 0);
    // The registry can be read but not written: no file may grow past one
    // block, and the registry is larger than that.
    ASSERT_EQ(regWriteString(HKCR, "Zarnok", "Padding", std::string(4000, 'p').c_str()), 0);
    std::string before = support::dumpRegistry();
    support::RunResult r = support::run({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\"",
                                         support::launcherPath(), c.option});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.errorOutput, "ZarnoLaunch\nZarnoLaunch " + c.message +
                                 "\n\nTry again. If it fails again, restart the computer and try once "
                                 "more.\n");
    EXPECT_EQ(support::dumpRegistry(), before) << c.option;
  }
}

class Uninstall : public Install {
 protected:
  support::RunResult uninstall(const std::string &launcher = support::launcherPath()) {
    ::remove(log.c_str());
    return support::run({launcher, "-quiet", "-logfile", log, "-uninstall"});
  }
};

TEST_F(Uninstall, LeavesTheRegistryAsItWasAndCanBeRepeated) {
  // What Windows and other programs keep where the registration writes: the
  // machine's MIME database, Applications and RegisteredApplications, and
  // another program in the extension's "Open with" list.
  ASSERT_EQ(regWriteString(HKCR, "MIME\\Database\\Content Type\\application/x-other", "Extension",
                           ".other"),
            0);
  ASSERT_EQ(regWriteString(HKCR, "Applications\\other.exe", "FriendlyAppName", "Other"), 0);
  ASSERT_EQ(regWriteString(HKLM, "Software\\RegisteredApplications", "Other", "Software\\Other"), 0);
  ASSERT_EQ(regWriteString(HKCR, ".zarnok", "PerceivedType", "text"), 0);
  ASSERT_EQ(regWriteString(HKCR, ".zarnok\\OpenWithProgids", "Other.Type", ""), 0);
  std::string before = support::dumpRegistry();
  install();
  ASSERT_NE(support::dumpRegistry(), before);
  for (int round = 0; round < 2; ++round) {
    support::RunResult r = uninstall();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"Running -uninstall logic.",
                                                     "Alert title: [ZarnoLaunch]",
                                                     "Alert text:  ZarnoLaunch uninstalled successfully!"}));
    EXPECT_EQ(support::dumpRegistry(), before) << "round " << round;
  }
}

TEST_F(Uninstall, TakesBackNavigatorsEntriesButNotTheViewerList) {
  std::string self = support::registeredLauncher();
  ASSERT_EQ(regWriteString(HKCU, viewers, "TYPE0", "text/plain"), 0);
  install();
  ASSERT_EQ(read(HKCU, viewers, "TYPE1"), "application/zarnolaunch");
  EXPECT_EQ(uninstall().status, 0);
  EXPECT_EQ(read(HKCU, "Software\\Netscape\\Netscape Navigator\\Suffixes", "application/zarnolaunch"),
            "<none>");
  EXPECT_EQ(read(HKCU, viewers, "application/zarnolaunch"), "<none>");
  EXPECT_EQ(read(HKCU, "Software\\Netscape\\Netscape Navigator\\User Trusted External Applications",
                 self.c_str()),
            "<none>");
  // A hole in the numbered list would hide every entry after it.
  EXPECT_EQ(read(HKCU, viewers, "TYPE0"), "text/plain");
  EXPECT_EQ(read(HKCU, viewers, "TYPE1"), "application/zarnolaunch");
}

TEST_F(Uninstall, OnlyItsOwnRegistrationGoes) {
  // Another copy of the launcher, which exists, or one that is gone; and
  // commands without quotes, read as Windows reads them.
  std::string self = support::registeredLauncher();
  std::string otherCopy = "\"" + game + "\" \"%1\"";
  std::string goneCopy = "\"" + support::joinPath(dir, "gone.exe") + "\" \"%1\"";
  std::string tools = support::joinPath(dir, "Other Tools");
  ASSERT_TRUE(support::makeDirectory(tools));
  std::string otherInTools = copyInto(game, tools);
  // This launcher named without ".exe", as CreateProcess reads it.
  std::string bare = self.size() > 4 && self.compare(self.size() - 4, 4, ".exe") == 0
                         ? self.substr(0, self.size() - 4)
                         : self;
  std::string gameFolder = game.substr(0, game.find_last_of(support::pathSeparator()));
  setEnv("ZARNO_TEST_GAME_FOLDER", gameFolder);
  std::string expanded = std::string("\"%ZARNO_TEST_GAME_FOLDER%") + support::pathSeparator() +
                         game.substr(gameFolder.size() + 1) + "\" \"%1\"";
  struct Case {
    std::string extension, command;
    bool typeStays;
    std::string extensionAfter;
    unsigned long type = REG_TYPE_SZ;
  } cases[] = {
      {"OtherProgram", "", false, "OtherProgram"},
      {"ZarnoLaunch", otherCopy, true, "ZarnoLaunch"},
      {"ZarnoLaunch", goneCopy, false, "<none>"},
      {"ZarnoLaunch", game + " %1", true, "ZarnoLaunch"},
      {"ZarnoLaunch", otherInTools + " %1", true, "ZarnoLaunch"},
      {"ZarnoLaunch", self + " \"%1\"", false, "<none>"},
      {"ZarnoLaunch", support::joinPath(dir, "gone folder") + " %1", false, "<none>"},
      {"ZarnoLaunch", "\"" + bare + "\" \"%1\"", false, "<none>"},
      // Expanded, the other program's; as it stands, a program that is gone.
      {"ZarnoLaunch", expanded, true, "ZarnoLaunch", REG_TYPE_EXPAND_SZ},
  };
  for (const Case &c : cases) {
    support::resetRegistry();
    installGame();
    ASSERT_EQ(regWriteString(HKCR, ".zarnok", nullptr, c.extension.c_str()), 0);
    if (!c.command.empty()) {
      ASSERT_EQ(regWriteValue(HKCR, "ZarnoLaunch\\shell\\open\\command", nullptr, c.command.c_str(),
                              (unsigned long)c.command.size() + 1, c.type),
                0);
    }
    support::RunResult r = uninstall();
    EXPECT_EQ(r.status, 0) << logText();
    EXPECT_EQ(read(HKCR, ".zarnok", nullptr), c.extensionAfter) << c.command;
    EXPECT_EQ(regKeyExists(HKCR, "ZarnoLaunch"), c.typeStays) << c.command;
    EXPECT_EQ(logText().find("Another copy of ZarnoLaunch is registered") != std::string::npos,
              c.typeStays);
    // The game's own keys are never touched.
    EXPECT_EQ(read(HKCR, "Zarnok\\shell\\open\\command", nullptr), "\"" + game + "\" \"%1\"");
  }
}

TEST_F(Uninstall, OwnershipComparesFilesNotSpellings) {
  // Two copies in folders whose names differ only in case: two files on
  // Linux, one folder to Windows.  Each launcher is asked to take back a
  // registration that names the other.
  std::string lower = support::joinPath(dir, "copy"), upper = support::joinPath(dir, "Copy");
  ASSERT_TRUE(support::makeDirectory(lower));
  std::string launcher = copyInto(support::launcherPath(), lower);
  std::string named = support::joinPath(upper, launcher.substr(lower.size() + 1));
  bool twoFiles = support::makeDirectory(upper) && support::copyProgram(launcher, named);
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch\\shell\\open\\command", nullptr,
                           ("\"" + named + "\" \"%1\"").c_str()),
            0);
  EXPECT_EQ(uninstall(launcher).status, 0) << logText();
  // Windows sees one folder, so the registration is this launcher's own.
  EXPECT_EQ(regKeyExists(HKCR, "ZarnoLaunch"), twoFiles && !support::registryFilePath().empty());
}

}  // namespace
