// "-install": the file type, the MIME entry and Navigator's helper entries.
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

TEST_F(Install, RegistersTheFileType) {
  install();
  expectSuccess();
  std::string self = support::launcherPath();
  EXPECT_EQ(read(HKCR, ".zarnok", nullptr), "ZarnoLaunch");
  EXPECT_EQ(read(HKCR, "ZarnoLaunch", nullptr), "Zarnok Launcher");
  EXPECT_EQ(read(HKCR, "ZarnoLaunch", "Path to Zarnok"), game);
  EXPECT_EQ(read(HKCR, "ZarnoLaunch\\DefaultIcon", nullptr), game);  // the game has no icon entry
  EXPECT_EQ(read(HKCR, "ZarnoLaunch\\shell\\open\\command", nullptr), "\"" + self + "\" \"%1\"");
  EXPECT_EQ(read(HKCR, "MIME\\Database\\Content Type\\application/zarnolaunch", "Extension"),
            ".zarnok");
  char *flags = regReadString(HKCR, "ZarnoLaunch", "editflags");
  ASSERT_NE(flags, nullptr);
  EXPECT_EQ(std::string(flags, 4), std::string("\0\0\1\0", 4));
  free(flags);
  // Without Navigator's settings nothing goes under HKEY_CURRENT_USER.
  EXPECT_FALSE(regKeyExists(HKCU, "Software\\Netscape"));
}

TEST_F(Install, TheSuccessBoxIsShown) {
  if (!support::boxesOnStandardError()) GTEST_SKIP() << "message boxes are real windows here";
  support::RunResult r = support::runLauncher({"-install", "-quiet"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorOutput, "ZarnokLaunch\nZarnoLaunch installed successfully!\n");
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
  std::string self = support::launcherPath();
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

TEST_F(Install, AFailedRegistrationIsNotASuccess) {
  if (support::registryFilePath().empty()) GTEST_SKIP() << "needs the stand-in registry";
  // The registry can be read but not written: no file may grow past one
  // block, and the registry is larger than that.
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", game.c_str()), 0);
  ASSERT_EQ(regWriteString(HKCR, "Zarnok", "Padding", std::string(4000, 'p').c_str()), 0);
  std::string before = support::dumpRegistry();
  support::RunResult r = support::run(
      {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\"", support::launcherPath(),
       "-install"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorOutput,
            "ZarnoLaunch encountered an error:\n"
            "ZarnoLaunch could not register itself: writing \".zarnok\" failed (error 1016).\n");
  EXPECT_EQ(support::dumpRegistry(), before);
}

}  // namespace
