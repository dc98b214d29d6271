// After "-install" the shell opens link files and server links with the
// launcher, and a crafted link cannot smuggle in arguments of its own.
#include <windows.h>
#include <shellapi.h>

#include "e2e/fixture.h"

namespace {

class ShellOpen : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    installGame();
    ASSERT_EQ(support::runLauncher({"-quiet", "-install"}).status, 1);
  }
  static void open(const std::string &target) {
    HINSTANCE result = ShellExecuteA(NULL, "open", target.c_str(), NULL, NULL, SW_SHOWNORMAL);
    ASSERT_GT((INT_PTR)result, 32) << "ShellExecute failed with " << (INT_PTR)result;
  }
};

TEST_F(ShellOpen, LinkFilesAndServerLinksStartTheGame) {
  open(serverFile("shell.open.test:7777", "shell test.zarnok"));
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"shell.open.test:7777"});
  open("zarnolaunch://shell.link.test:7778");
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"shell.link.test:7778"});
}

TEST_F(ShellOpen, EverythingInAFolderNamedInAnotherScript) {
  // The launcher, the game and the link file all in one such folder.
  std::string folder = foreignFolder();
  installGame(copyInto(support::fakeGamePath(), folder));
  std::string launcher = copyInto(support::launcherPath(), folder);
  ASSERT_EQ(support::run({launcher, "-quiet", "-install"}).status, 1);
  EXPECT_EQ(read(HKCR, "ZarnoLaunch\\shell\\open\\command", nullptr),
            "\"" + launcher + "\" \"%1\"");
  open(serverFileAt("far.away.test:1", support::joinPath(folder, "s.zarnok")));
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"far.away.test:1"});
}

TEST_F(ShellOpen, ACraftedLinkStartsNothing) {
  // The link closes the quotes of "%1" and adds options after itself.
  std::string smuggled = support::joinPath(dir, "smuggled.log");
  std::string link = "zarnolaunch://a.b.c:1\" -logfile \"" + smuggled;
  HINSTANCE result = ShellExecuteA(NULL, "open", link.c_str(), NULL, NULL, SW_SHOWNORMAL);
  // Whether the shell refuses it or the launcher does, nothing may start.
  if ((INT_PTR)result > 32) support::waitForFile(smuggled, 3000);
  EXPECT_FALSE(support::fileExists(smuggled));
  EXPECT_FALSE(support::waitForFile(record, 300));
}

// USER32 is loaded for the first message box only.  When it cannot be
// loaded the box is not shown, but the log has the message and the run
// ends as it would have.
TEST_F(LauncherTest, WithoutUser32TheMessageStillReachesTheLog) {
  // Wine's own switch: an empty override disables the DLL for that program.
  const char overrides[] = "Software\\Wine\\AppDefaults\\ZarnoLaunch.exe\\DllOverrides";
  ASSERT_EQ(regWriteString(HKCU, overrides, "user32", ""), 0);
  support::RunResult r = support::runLauncher({"-logfile", log, serverFile("a.b.c:1")});
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\ZarnoLaunch.exe");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(logText().find("Alert text:  Zarnok is not properly installed!"), std::string::npos)
      << logText();
}

}  // namespace
