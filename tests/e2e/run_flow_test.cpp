// The command line: options, their order and case, and how a run ends.
#include <string>

#include "e2e/fixture.h"

namespace {

const std::string usageText = support::usageText();

using RunFlow = LauncherTest;

TEST_F(RunFlow, NoArgumentsShowsTheUsage) {
  if (support::boxesOnStandardError()) {
    support::RunResult r = support::runLauncher({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.errorOutput, std::string("ZarnoLaunch Usage\n") + usageText + "\n");
  }
  support::RunResult r = support::runLauncher({"-quiet", "-logfile", log});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorOutput, "");
  EXPECT_EQ(logText().substr(logText().find('\n') + 1),
            std::string("Alert title: [ZarnoLaunch Usage]\nAlert text:  ") + usageText + "\n");
}

TEST_F(RunFlow, TheUsageExampleIsAnAcceptedAddress) {
  installGame();
  support::RunResult r = support::runLauncher({"-quiet", serverFile("play.zarnok.net:7777")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"play.zarnok.net:7777"});
}

TEST_F(RunFlow, OptionsIgnoreLetterCase) {
  installGame();
  std::string link = serverFile("a.b.c:1");
  support::RunResult r = support::runLauncher({"-QUIET", "-LogFile", log, "-LAUNCH", link});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.errorOutput, "");
  std::vector<std::string> lines = logLines();
  ASSERT_GE(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("path to Zarnok: ", 0), 0u);
  for (const std::string &line : lines) EXPECT_EQ(line.find("launching"), std::string::npos);
  EXPECT_FALSE(support::waitForFile(record, 300));

  // "-Launch" twice turns the start back on.
  r = support::runLauncher({"-Quiet", "-launch", "-LAUNCH", link});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"a.b.c:1"});
}

TEST_F(RunFlow, LogfileBeforeQuietAndAfter) {
  // "-quiet" after "-logfile PATH" turns the boxes off but leaves the log on.
  support::RunResult r = support::runLauncher({"-logfile", log, "-quiet"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorOutput, "");
  EXPECT_NE(logText().find("Alert title: [ZarnoLaunch Usage]"), std::string::npos);

  if (!support::boxesOnStandardError()) return;  // the rest needs boxes on standard error
  // "-logfile -quiet": "-quiet" is the log's name, and the boxes stay on.
  r = support::runLauncher({"-logfile", "-quiet"}, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorOutput.rfind("ZarnoLaunch Usage\n", 0), 0u);
  EXPECT_NE(support::readFile(support::joinPath(dir, "-quiet")).find("Alert title: [ZarnoLaunch Usage]"),
            std::string::npos);
}

TEST_F(RunFlow, LogfileLastClosesTheLog) {
  support::RunResult r = support::runLauncher({"-quiet", "-logfile", log, "-logfile"});
  EXPECT_EQ(r.status, 1);
  std::string text = logText();
  EXPECT_EQ(text.front(), '[');
  EXPECT_EQ(text.find("Alert"), std::string::npos) << text;
}

TEST_F(RunFlow, LogfileTwice) {
  std::string second = support::joinPath(dir, "second.log");
  support::RunResult r = support::runLauncher({"-quiet", "-logfile", log, "-logfile", second});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(logLines(), std::vector<std::string>{});
  EXPECT_EQ(logText().front(), '[');
  std::vector<std::string> lines = logLines(second);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Alert title: [ZarnoLaunch Usage]");
}

TEST_F(RunFlow, TheLaterOfTwoExistingPathsIsTheLinkFile) {
  installGame();
  std::string first = serverFile("first.example.net", "first.zarnok");
  std::string second = serverFile("second.example.net", "second.zarnok");
  support::RunResult r = support::runLauncher({"-quiet", "-logfile", log, first, second});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"second.example.net"});
  EXPECT_NE(logText().find(".zarnok filePath: \"" + second + "\""), std::string::npos);
}

TEST_F(RunFlow, PathsThatNameNothingAreSkippedSilently) {
  installGame();
  std::string missing = support::joinPath(dir, "missing.zarnok");
  std::vector<std::vector<std::string>> runs = {
      {missing},
      {""},
      {"-quie"},       // an abbreviated option word
      {"-quietly"},    // one with more after it
      {"-nosuchoption"},
  };
  for (const auto &args : runs) {
    std::vector<std::string> full = {"-logfile", log};
    full.insert(full.end(), args.begin(), args.end());
    if (!support::boxesOnStandardError()) full.insert(full.begin(), "-quiet");
    support::RunResult r = support::runLauncher(full);
    EXPECT_EQ(r.status, 1);
    if (support::boxesOnStandardError()) {
      EXPECT_EQ(r.errorOutput, std::string("ZarnoLaunch Usage\n") + usageText + "\n") << args[0];
    }
    EXPECT_EQ(logText().find(missing), std::string::npos);
  }
}

TEST_F(RunFlow, AnOptionLikeNameThatExistsIsTheLinkFile) {
  installGame();
  serverFile("dash.example.net", "-quietly");
  support::RunResult r = support::runLauncher({"-quiet", "-quietly"}, dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"dash.example.net"});
}

TEST_F(RunFlow, LinkFilePathWithSpaces) {
  installGame();
  std::string link = serverFile("space.example.net:1", "my server file.zarnok");
  support::RunResult r = support::runLauncher({"-quiet", link});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"space.example.net:1"});
}

TEST_F(RunFlow, WithoutTheGameEveryLinkFileEndsInTheLookupError) {
  std::string bad = serverFile("a.b");
  support::RunResult r = support::runLauncher({"-quiet", "-logfile", log, bad});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(logLines(), (std::vector<std::string>{
                            "Alert title: [ZarnoLaunch encountered an error:]",
                            "Alert text:  Zarnok is not properly installed!  Please reinstall Zarnok.",
                        }));
}

TEST_F(RunFlow, QuietWithoutLogLeavesNoTrace) {
  support::RunResult r = support::runLauncher({"-quiet", serverFile("a.b.c")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorOutput, "");
}

TEST_F(RunFlow, ErrorsShowAStopBox) {
  if (!support::boxesOnStandardError()) GTEST_SKIP() << "message boxes are real windows here";
  support::RunResult r = support::runLauncher({serverFile("a.b.c")});
  EXPECT_EQ(r.status, 1);
  // The box, titled with the launcher's name, says what to do and where
  // the launcher looked; the log's lines stay as they were.
  EXPECT_EQ(r.errorOutput,
            "ZarnoLaunch\nZarnok is not properly installed!  Please reinstall Zarnok.\n\nInstall or reinstall "
            "Zarnok, then open the link again.\n\nWhere ZarnoLaunch looked:\n\tthe registry file " +
                support::registryFilePath() + "\n");
}

}  // namespace
