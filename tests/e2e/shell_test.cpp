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
  ::remove(record.c_str());
  open("zarnolaunch://shell.link.test:7778");
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"shell.link.test:7778"});
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

}  // namespace
