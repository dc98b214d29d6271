// The log file: its header, the gap before a new run, and logs that cannot
// be written.
#include <regex>
#include <string>

#include "e2e/fixture.h"

namespace {

using LogFile = LauncherTest;

const std::regex header(
    "\\[(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
    "[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\\]");

TEST_F(LogFile, ANewLogBeginsWithTheHeader) {
  support::runLauncher({"-quiet", "-logfile", log});
  std::string text = logText();
  size_t end = text.find('\n');
  ASSERT_NE(end, std::string::npos);
  EXPECT_TRUE(std::regex_match(text.substr(0, end), header)) << text.substr(0, end);
  // Lines end the way text files end on this system.
  std::string raw = support::readFile(log);
  EXPECT_EQ(raw.substr(end, strlen(support::lineEnd())), support::lineEnd());
}

TEST_F(LogFile, AnExistingLogGetsTwoLineEndsBeforeTheNewRun) {
  std::string nl = support::lineEnd();
  ASSERT_TRUE(support::writeFile(log, "earlier run" + nl));
  support::runLauncher({"-quiet", "-logfile", log});
  std::string raw = support::readFile(log);
  EXPECT_EQ(raw.substr(0, 11 + 3 * nl.size() + 1), "earlier run" + nl + nl + nl + "[");

  std::string empty = support::joinPath(dir, "empty.log");
  ASSERT_TRUE(support::writeFile(empty, ""));
  support::runLauncher({"-quiet", "-logfile", empty});
  EXPECT_EQ(support::readFile(empty).substr(0, 2 * nl.size() + 1), nl + nl + "[");
}

TEST_F(LogFile, QuietErrorIsLoggedWithItsTitle) {
  support::RunResult r = support::runLauncher({"-quiet", "-logfile", log, serverFile("a.b.c")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorOutput, "");
  std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Alert title: [ZarnoLaunch encountered an error:]");
}

TEST_F(LogFile, ALogThatCannotBeOpenedChangesNothing) {
  installGame();
  std::string link = serverFile("a.b.c:7");
  std::vector<std::string> unusable = {
      support::joinPath(support::joinPath(dir, "missing-dir"), "x.log"),
      dir,  // a directory
  };
  if (support::boxesOnStandardError()) unusable.push_back("/dev/full");
  for (const std::string &path : unusable) {
    support::RunResult r = support::runLauncher({"-logfile", path, link});
    EXPECT_EQ(r.status, 0) << path;
    EXPECT_EQ(r.errorOutput, "") << path;
    EXPECT_EQ(gameArguments(), std::vector<std::string>{"a.b.c:7"}) << path;
  }
  EXPECT_FALSE(support::fileExists(support::joinPath(dir, "missing-dir")));
}

}  // namespace
