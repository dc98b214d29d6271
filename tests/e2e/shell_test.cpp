// After "-install" the shell opens link files with the launcher.
#include <windows.h>
#include <shellapi.h>

#include "e2e/fixture.h"

namespace {

using ShellOpen = LauncherTest;

TEST_F(ShellOpen, OpeningALinkFileStartsTheGame) {
  installGame();
  support::RunResult r = support::runLauncher({"-quiet", "-install"});
  ASSERT_EQ(r.status, 1);
  std::string link = serverFile("shell.open.test:7777", "shell test.zarnok");
  HINSTANCE result = ShellExecuteA(NULL, "open", link.c_str(), NULL, NULL, SW_SHOWNORMAL);
  ASSERT_GT((INT_PTR)result, 32) << "ShellExecute failed with " << (INT_PTR)result;
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"shell.open.test:7777"});
}

}  // namespace
