// The main job: a link file starts the game on the server it names.
#include <algorithm>
#include <regex>
#include <string>

#include "e2e/fixture.h"

namespace {

class Launch : public LauncherTest {
 protected:
  std::string game;
  void SetUp() override {
    LauncherTest::SetUp();
    game = installGame();
  }
  support::RunResult launch(const std::string &link, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-quiet", "-logfile", log};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(link);
    return support::runLauncher(args);
  }
  std::string illegal(const std::string &path, const std::string &value) {
    return "Alert text:  Illegal line in file \"" + path + "\":\n\tServer=" + value;
  }
};

TEST_F(Launch, StartsTheGameOnTheServer) {
  std::string link = serverFile("alpha.beta.gamma:7777");
  support::RunResult r = launch(link);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"alpha.beta.gamma:7777"});
  EXPECT_EQ(logLines(), (std::vector<std::string>{
                            "path to Zarnok: \"" + game + "\"",
                            ".zarnok filePath: \"" + link + "\"",
                            "Server set to \"alpha.beta.gamma:7777\"",
                            "launching this command line: \"\"" + game + "\" alpha.beta.gamma:7777\"",
                        }));
}

TEST_F(Launch, JunkIsCutOffAndNoted) {
  std::string link = serverFile("zarnok://1.2.3.4:7777");
  support::RunResult r = launch(link);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"1.2.3.4:7777"});
  std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], "Server set to \"zarnok://1.2.3.4:7777\"");
  EXPECT_EQ(lines[3], "Server line had some junk on it--the clean version is \"1.2.3.4:7777\"");
  EXPECT_EQ(lines[4], "launching this command line: \"\"" + game + "\" 1.2.3.4:7777\"");
}

TEST_F(Launch, UnusableValuesEndWithTheIllegalLine) {
  struct Case {
    std::string content;
    std::string shownValue;
  } cases[] = {
      {"[ZarnoLaunch]\nServer=a.b\n", "a.b"},
      {"[Other]\nServer=a.b.c\n", ""},
      {"[ZarnoLaunch]\nServer=\n", ""},
      {"", ""},
      {"[ZarnoLaunch]\nServer=localhost:7777\n", "localhost:7777"},
  };
  for (const Case &c : cases) {
    std::string link = linkFile(c.content);
    support::RunResult r = launch(link);
    EXPECT_EQ(r.status, 1) << c.content;
    std::string text = logText();
    EXPECT_NE(text.find(illegal(link, c.shownValue) + "\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("launching"), std::string::npos);
    ::remove(log.c_str());
  }
  EXPECT_FALSE(support::waitForFile(record, 300));
}

TEST_F(Launch, ServerLinks) {
  struct Case {
    std::string before, link, after;  // before and after the link; blank-separated
    int status;
    std::string address;  // what the game gets; empty: not started
    bool junk;
    std::string alert;  // the error's text, when it ends with one
  } cases[] = {
      {"", "zarnolaunch://alpha.beta.gamma:7777", "", 0, "alpha.beta.gamma:7777", false, ""},
      {"", "ZarnoLaunch://a.b.c:1/", "", 0, "a.b.c:1", true, ""},
      {"", "zarnolaunch://a.b.c:7777%22%20-x", "", 0, "a.b.c:7777", true, ""},
      {"", "ZARNOLAUNCH:a.b.c:2", "", 0, "a.b.c:2", false, ""},
      {"-launch", "zarnolaunch://a.b.c:3", "", 0, "", false, ""},
      {"", "zarnolaunch://a.b", "", 1, "", false, "Invalid server link:\n\tzarnolaunch://a.b\n"},
      {"", "zarnolaunch://a.b.c:65536", "", 1, "", false,
       "Invalid server link:\n\tzarnolaunch://a.b.c:65536\n"},
      {"", "zarnolaunch://" + std::string(5000, 'a') + ".b.c", "", 1, "", false, "Invalid server link:"},
      {"", "zarnolaunch://a.b.c:1", "-logfile x.log", 1, "", false,
       "A server link must be the last argument:\n\tzarnolaunch://a.b.c:1\n"},
      {"", "zarnolaunch://a.b.c:1\"", "-install", 1, "", false,
       "A server link must be the last argument:"},
  };
  auto words = [](const std::string &text) {
    std::vector<std::string> out;
    for (size_t i = 0; i < text.size();) {
      size_t end = std::min(text.find(' ', i), text.size());
      out.push_back(text.substr(i, end - i));
      i = end + 1;
    }
    return out;
  };
  for (const Case &c : cases) {
    nextRecord();
    ::remove(log.c_str());
    std::vector<std::string> args = {"-quiet", "-logfile", log};
    for (const std::string &w : words(c.before)) args.push_back(w);
    args.push_back(c.link);
    for (const std::string &w : words(c.after)) args.push_back(w);
    support::RunResult r = support::runLauncher(args, dir);
    EXPECT_EQ(r.status, c.status) << c.link;
    std::string text = logText();
    if (c.address.empty()) {
      EXPECT_FALSE(support::waitForFile(record, c.status == 0 ? 300 : 0)) << c.link;
    } else {
      EXPECT_EQ(gameArguments(), std::vector<std::string>{c.address}) << c.link;
      EXPECT_NE(text.find("path to Zarnok: \"" + game + "\"\nserver link: \"" + c.link + "\"\n"),
                std::string::npos)
          << text;
    }
    EXPECT_EQ(text.find("Server line had some junk on it--the clean version is \"" + c.address + "\""
                        "\n") != std::string::npos,
              c.junk)
        << text;
    if (!c.alert.empty()) {
      EXPECT_NE(text.find("Alert text:  " + c.alert), std::string::npos) << text;
    }
    // Nothing after a link is acted on: no second log, no registration.
    EXPECT_FALSE(support::fileExists(support::joinPath(dir, "x.log")));
    EXPECT_FALSE(regKeyExists(HKCR, ".zarnok"));
  }
}

TEST_F(Launch, PathsInAnyScript) {
  std::string folder = foreignFolder();
  std::string gameThere = copyInto(game, folder);
  installGame(gameThere);
  std::string link = serverFileAt("a.b.c:1", support::joinPath(folder, "s.zarnok"));
  std::string logThere = support::joinPath(folder, "launcher.log");
  support::RunResult r = support::runLauncher({"-quiet", "-logfile", logThere, link});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"a.b.c:1"});
  EXPECT_EQ(logLines(logThere), (std::vector<std::string>{
                                    "path to Zarnok: \"" + gameThere + "\"",
                                    ".zarnok filePath: \"" + link + "\"",
                                    "Server set to \"a.b.c:1\"",
                                    "launching this command line: \"\"" + gameThere + "\" a.b.c:1\"",
                                }));
  // The game's path, derived from its command, is remembered whole.
  EXPECT_EQ(read(HKCR, "ZarnoLaunch", "Path to Zarnok"), gameThere);
}

TEST_F(Launch, TheGameIsExactlyTheFileTheRegistryNames) {
  if (support::registryFilePath().empty()) GTEST_SKIP() << "Windows file names hold no quote";
  // A Linux file name may hold a double quote; split by the Windows rules,
  // "/x/q"d/game" would start "/x/q" with two arguments.
  std::string folder = support::joinPath(dir, "q\"d");
  ASSERT_TRUE(support::makeDirectory(folder));
  ASSERT_TRUE(support::makeDirectory(support::joinPath(dir, "q")));
  std::string gameThere = copyInto(game, folder);
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", gameThere.c_str()), 0);
  support::RunResult r = launch(serverFile("a.b.c:1"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"a.b.c:1"});
  EXPECT_NE(logText().find("launching this command line: \"\"" + gameThere + "\" a.b.c:1\"\n"),
            std::string::npos)
      << logText();
}

TEST_F(Launch, ADirectoryAsLinkFileHasNoServer) {
  support::RunResult r = launch(dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(logText().find(illegal(dir, "") + "\n"), std::string::npos);
}

TEST_F(Launch, LaunchOptionOnlySkipsTheStart) {
  std::string link = serverFile("zarnok://a.b.c:1");
  support::RunResult r = launch(link, {"-launch"});
  EXPECT_EQ(r.status, 0);
  std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3], "Server line had some junk on it--the clean version is \"a.b.c:1\"");
  EXPECT_FALSE(support::waitForFile(record, 300));
}

TEST_F(Launch, AGameThatCannotStartIsAFailure) {
  // The file exists, so the lookup accepts it, but it is no program.
  std::string notAProgram = support::joinPath(dir, "zarnok.exe");
  ASSERT_TRUE(support::writeFile(notAProgram, "this is not a program\n"));
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", notAProgram.c_str()), 0);
  support::RunResult r = launch(serverFile("a.b.c:1"));
  EXPECT_EQ(r.status, 1);
  std::string command = "\"" + notAProgram + "\" a.b.c:1";
  std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 7u) << logText();
  EXPECT_EQ(lines[3], "launching this command line: \"" + command + "\"");
  EXPECT_EQ(lines[4], "Alert title: [ZarnoLaunch encountered an error:]");
  EXPECT_EQ(lines[5], "Alert text:  Couldn't start Zarnok with this command line:");
  EXPECT_EQ(lines[6], "\t" + command);
}

TEST_F(Launch, ABareFileNameIsReadFromTheCurrentDirectory) {
  serverFile("bare.name.test:5", "bare.zarnok");
  support::RunResult r = support::runLauncher({"-quiet", "-logfile", log, "bare.zarnok"}, dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"bare.name.test:5"});
  EXPECT_NE(logText().find(".zarnok filePath: \"bare.zarnok\"\n"), std::string::npos);
}

TEST_F(Launch, HostileValuesNeverAddArguments) {
  const std::regex address("[A-Za-z0-9.]+(:[0-9]*)?");
  const std::string values[] = {
      "a.b.c & calc.exe",
      "a.b.c|evil",
      "a.b.c;reboot",
      "$(touch pwned).a.b",
      "a.b.c$(touch pwned)",
      "`id`.a.b.c",
      "a.b.c`id`",
      "a.b.c:7777 \"%1\"",
      "\"a.b.c\" extra",
      "a.b.c:1\" \"second",
      "a.b.c\" \"second",
      "%1.a.b",
      "a.b.c%1",
      "  \t a.b.c:1\t-connect evil",
      "a.b.c\\\" x",
      "a.\xE9.c",
      "\xC3\xA9.b.c",
      "a.b.c\xFF:1",
      std::string(5000, 'x') + ".a.b",
      "a.b.c:" + std::string(300, '9'),
  };
  for (const std::string &value : values) {
    nextRecord();
    ::remove(log.c_str());
    std::string link = serverFile(value);
    support::RunResult r = launch(link);
    if (r.status == 0) {
      std::vector<std::string> args = gameArguments();
      ASSERT_EQ(args.size(), 1u) << value;
      EXPECT_TRUE(std::regex_match(args[0], address)) << args[0];
      EXPECT_LE(std::count(args[0].begin(), args[0].end(), ':'), 1);
    } else {
      EXPECT_EQ(r.status, 1) << value;
      EXPECT_NE(logText().find("Alert text:  Illegal line in file"), std::string::npos) << value;
    }
  }
  EXPECT_FALSE(support::fileExists(support::joinPath(dir, "pwned")));
}

TEST_F(Launch, AnAddressTooLongForTheCommandLineIsRefused) {
  // 4095 bytes: the most the read can hold, and a valid address, but with
  // the game's path it no longer fits the 4096-byte command line.
  std::string value = std::string(2000, 'a') + "." + std::string(2000, 'b') + ".";
  value += std::string(4095 - value.size(), 'c');
  ASSERT_EQ(value.size(), 4095u);
  std::string link = serverFile(value);
  support::RunResult r = launch(link);
  EXPECT_EQ(r.status, 1);
  std::string text = logText();
  EXPECT_NE(text.find("Alert text:  Illegal line in file \"" + link + "\":\n\tServer=aaaa"),
            std::string::npos);
  EXPECT_EQ(text.find("launching"), std::string::npos);
  EXPECT_FALSE(support::waitForFile(record, 300));
}

TEST_F(Launch, AValueLongerThanTheBufferIsCutByTheRead) {
  std::string value = "a.b.c:1 " + std::string(6000, 'x');
  support::RunResult r = launch(serverFile(value));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"a.b.c:1"});
  std::vector<std::string> lines = logLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[2], "Server set to \"" + value.substr(0, 4095) + "\"");
}

}  // namespace

namespace {

TEST_F(Launch, TheGameInheritsNoFileOfTheLaunchers) {
  if (support::registryFilePath().empty()) GTEST_SKIP() << "looks at /proc";
  // A game that writes down where its open descriptors lead.
  std::string fds = support::joinPath(dir, "fds.txt");
  std::string script = support::joinPath(dir, "fd-game");
  ASSERT_TRUE(support::writeFile(script, "#!/bin/sh\nfor f in /proc/$$/fd/*; do readlink \"$f\"; done > \"" +
                                             fds + ".part\"\nmv \"" + fds + ".part\" \"" + fds + "\"\n"));
  ASSERT_EQ(support::run({"/bin/chmod", "+x", script}).status, 0);
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", script.c_str()), 0);
  support::RunResult r = launch(serverFile("a.b.c:1"));
  EXPECT_EQ(r.status, 0);
  ASSERT_TRUE(support::waitForFile(fds, 20000));
  std::string open = support::readFile(fds);
  EXPECT_NE(open.find("/"), std::string::npos) << "no descriptors seen at all";
  EXPECT_EQ(open.find(log), std::string::npos) << open;
  EXPECT_EQ(open.find("server.zarnok"), std::string::npos) << open;
}

}  // namespace
