// Input nobody should send, and registries nobody should have: every run
// ends as documented, with a clear message and the right status, never with
// a crash, a hang, or a registry file changed when it could not be read.
#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "e2e/fixture.h"

namespace fs = std::filesystem;

namespace {

class BadInput : public LauncherTest {
 protected:
  std::string game;
  void SetUp() override {
    LauncherTest::SetUp();
    game = installGame();
  }
  support::RunResult launch(const std::string &link) {
    ::remove(log.c_str());
    ::remove(record.c_str());
    return support::runLauncher({"-quiet", "-logfile", log, link});
  }
  void expectIllegalLine(const std::string &link, const support::RunResult &r) {
    EXPECT_EQ(r.status, 1) << link.substr(0, 100);
    EXPECT_NE(logText().find("Alert text:  Illegal line in file \"" + link.substr(0, 100)),
              std::string::npos)
        << logText().substr(0, 400);
  }
  static bool standIn() { return !support::registryFilePath().empty(); }
};

TEST_F(BadInput, LinkFilesWithoutAServer) {
  std::mt19937 random(1234);
  std::string binary(64 * 1024, '\0');
  for (char &c : binary) c = (char)(random() & 0xFF);
  const std::string contents[] = {
      "",
      binary,
      std::string("[ZarnoLaunch]\nServer=\0a.b.c\n", 27),
      "[ZarnoLaunch]\nServer=" + std::string(4095, '-'),
  };
  for (const std::string &content : contents) {
    std::string link = linkFile(content);
    expectIllegalLine(link, launch(link));
  }
  EXPECT_FALSE(support::waitForFile(record, 300));
}

TEST_F(BadInput, AHugeLinkFile) {
  // 100 MB of lines before the section: read to the end, then used.
  std::string path = support::joinPath(dir, "huge.zarnok");
  {
    std::string line(99, 'x');
    line += '\n';
    std::string chunk;
    for (int i = 0; i < 10000; ++i) chunk += line;
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(fwrite(chunk.data(), 1, chunk.size(), f), chunk.size());
    fputs("[ZarnoLaunch]\nServer=huge.file.test:1\n", f);
    ASSERT_EQ(fclose(f), 0);
  }
  support::RunResult r = launch(path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"huge.file.test:1"});
  ::remove(path.c_str());
}

TEST_F(BadInput, Utf16LinkFile) {
  std::string text = "\xFF\xFE";
  for (char c : std::string("[ZarnoLaunch]\r\nServer=wide.file.test:2\r\n")) {
    text += c;
    text += '\0';
  }
  support::RunResult r = launch(linkFile(text));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"wide.file.test:2"});
}

TEST_F(BadInput, AFifoDoesNotStallTheLauncher) {
  std::string fifo = support::joinPath(dir, "pipe.zarnok");
  if (!support::makeFifo(fifo)) GTEST_SKIP() << "no named pipes here";
  expectIllegalLine(fifo, launch(fifo));
}

TEST_F(BadInput, LinkPathsThatNameNothingUsable) {
  std::string dangling = support::joinPath(dir, "dangling.zarnok");
  std::error_code error;
  fs::create_symlink(support::joinPath(dir, "nothing-here"), dangling, error);
  std::vector<std::string> paths = {std::string(300, 'n') + ".zarnok",
                                    support::joinPath(dir, std::string(5000, 'n'))};
  if (!error) paths.push_back(dangling);
  for (const std::string &path : paths) {
    support::RunResult r = launch(path);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(logText().find("Alert title: [ZarnoLaunch Usage]"), std::string::npos);
  }
}

TEST_F(BadInput, LongLinkFilePaths) {
  // Past 259 characters the Windows calls of the launcher cannot reach a
  // file; the Linux build can, up to the system's own limit.
  std::string deep = dir;
  while (deep.size() < 280) deep = support::joinPath(deep, "a-rather-long-directory-name");
  std::error_code error;
  fs::create_directories(deep, error);
  if (error) GTEST_SKIP() << "cannot make a path that long here";
  std::string link = support::joinPath(deep, "server.zarnok");
  ASSERT_TRUE(support::writeFile(link, "[ZarnoLaunch]\nServer=deep.path.test\n"));
  support::RunResult r = launch(link);
  if (standIn()) {
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(gameArguments(), std::vector<std::string>{"deep.path.test"});
  } else {
    EXPECT_EQ(r.status, 1);
  }
}

TEST_F(BadInput, LongGamePaths) {
  // Paths of 259 characters fit the launcher's 260-byte cache; 260 and more
  // do not: a stored one is passed over, a derived one is not found.
  std::string base = dir + "/";
  std::string game259;
  if (standIn()) {
    std::string d = dir;
    while (d.size() < 200) d = support::joinPath(d, "directory-of-the-game");
    fs::create_directories(d);
    game259 = d + "/" + std::string(259 - d.size() - 1, 'g');
    ASSERT_EQ(game259.size(), 259u);
    fs::copy_file(support::fakeGamePath(), game259);
    ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", game259.c_str()), 0);
    EXPECT_EQ(launch(serverFile("a.b.c:1")).status, 0);
    EXPECT_EQ(gameArguments(), std::vector<std::string>{"a.b.c:1"});
    EXPECT_NE(logText().find("path to Zarnok: \"" + game259 + "\""), std::string::npos);
  }
  for (size_t length : {260u, 5000u}) {
    std::string tooLong = base + std::string(length - base.size(), 'g');
    ASSERT_EQ(tooLong.size(), length);
    // Stored: passed over for the game's own command.
    support::resetRegistry();
    installGame();
    ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", tooLong.c_str()), 0);
    EXPECT_EQ(launch(serverFile("a.b.c:2")).status, 0);
    EXPECT_EQ(gameArguments(), std::vector<std::string>{"a.b.c:2"});
    // Derived: not found, whether quoted or bare.
    for (const std::string &command : {"\"" + tooLong + "\" \"%1\"", tooLong}) {
      support::resetRegistry();
      ASSERT_EQ(regWriteString(HKCR, "Zarnok\\shell\\open\\command", nullptr, command.c_str()), 0);
      support::RunResult r = launch(serverFile("a.b.c:3"));
      EXPECT_EQ(r.status, 1);
      EXPECT_NE(logText().find("Alert text:  Can't find Zarnok on your system!"), std::string::npos);
    }
  }
}

TEST_F(BadInput, RegistryFilesThatCannotBeRead) {
  if (!standIn()) GTEST_SKIP() << "needs the stand-in registry";
  std::string path = support::registryFilePath();
  std::string whole = support::readFile(path);
  ASSERT_FALSE(whole.empty());
  size_t wholeLines = (size_t)std::count(whole.begin(), whole.end(), '\n');
  std::string half = whole.substr(0, whole.find("@=") + 5);  // inside the value
  size_t cut = half.rfind('\n');
  struct Case {
    std::string text;
    size_t line;
    std::string shown;
  } cases[] = {
      {whole + "garbage line\n", wholeLines + 1, "garbage line"},
      {half, (size_t)std::count(half.begin(), half.end(), '\n') + 1, half.substr(cut + 1)},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\Zarnok\n", 2, "[HKEY_CLASSES_ROOT\\Zarnok"},
      {"Windows Registry Editor Version 5.00\n", 1, "Windows Registry Editor Version 5.00"},
      {whole + "\n" + std::string(100, 'x') + "\n", wholeLines + 2, std::string(80, 'x')},
  };
  for (const Case &c : cases) {
    ASSERT_TRUE(support::writeFile(path, c.text));
    std::string message = "The registry file \"" + path + "\" cannot be read: line " +
                          std::to_string(c.line) + ": " + c.shown;
    // A launch, "-install" and "-uninstall" all end at the first registry
    // call, before any word about the game or the registration.
    for (const std::string &option : {std::string("a.b.c:1"), std::string("-install"),
                                      std::string("-uninstall")}) {
      ::remove(log.c_str());
      std::string arg = option[0] == '-' ? option : serverFile(option);
      support::RunResult r = support::runLauncher({"-logfile", log, arg});
      EXPECT_EQ(r.status, 1) << option;
      // The box is titled with the launcher's name, and says what to do; the
      // log keeps its lines.
      EXPECT_EQ(r.errorOutput, "ZarnoLaunch\n" + message +
                                   "\n\nCorrect that line of the file, or move the file away, then try "
                                   "again.\n")
          << option;
      std::vector<std::string> lines = logLines();
      if (option == "-uninstall" && !lines.empty() && lines[0] == "Running -uninstall logic.")
        lines.erase(lines.begin());
      EXPECT_EQ(lines, (std::vector<std::string>{"Alert title: [ZarnoLaunch encountered an error:]",
                                                  "Alert text:  " + message}))
          << option;
      EXPECT_EQ(support::readFile(path), c.text) << option;
    }
  }
  // Not a file at all: named too, and left as it is.
  ::remove(path.c_str());
  fs::create_directory(path);
  support::RunResult r = launch(serverFile("a.b.c:1"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(logText().find("Alert text:  The registry file \"" + path + "\" cannot be read"),
            std::string::npos)
      << logText();
  EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(BadInput, AHugeRegistry) {
  if (!standIn()) GTEST_SKIP() << "needs the stand-in registry";
  std::string path = support::registryFilePath();
  std::string text = support::readFile(path);
  text += "\n[HKEY_CURRENT_USER\\Software\\Netscape\\Netscape Navigator\\Viewers]\n";
  for (int i = 0; i < 100000; ++i)
    text += "\"TYPE" + std::to_string(i) + "\"=\"application/x-other-" + std::to_string(i) + "\"\n";
  ASSERT_TRUE(support::writeFile(path, text));
  support::RunResult r = launch(serverFile("a.b.c:4"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(gameArguments(), std::vector<std::string>{"a.b.c:4"});
  // The registration walks all of them and adds the next number.
  r = support::runLauncher({"-quiet", "-logfile", log, "-install"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(logText().find("Alert text:  ZarnoLaunch installed successfully!"), std::string::npos);
  EXPECT_EQ(read(HKCU, "Software\\Netscape\\Netscape Navigator\\Viewers", "TYPE100000"),
            "application/zarnolaunch");
}

TEST_F(BadInput, ManyLaunchersAtOnce) {
  // Half register, half launch and so store the game's path; all at once.
  ASSERT_EQ(regWriteString(HKCU, "Software\\Netscape\\Netscape Navigator", "x", "y"), 0);
  std::string link = serverFile("many.at.once:1");
  const int runs = 32;
  std::vector<support::RunResult> results(runs);
  std::vector<std::thread> threads;
  for (int i = 0; i < runs; ++i)
    threads.emplace_back([&, i] {
      results[i] = i % 2 ? support::runLauncher({"-quiet", "-launch", link})
                         : support::runLauncher({"-quiet", "-install"});
    });
  for (std::thread &t : threads) t.join();
  for (int i = 0; i < runs; ++i) {
    EXPECT_EQ(results[i].status, i % 2 ? 0 : 1) << "run " << i;
    EXPECT_EQ(results[i].errorOutput, "") << "run " << i;
  }
  EXPECT_EQ(read(HKCR, "ZarnoLaunch", "Path to Zarnok"), game);
  EXPECT_EQ(read(HKCR, ".zarnok", nullptr), "ZarnoLaunch");
  EXPECT_EQ(read(HKCR, "ZarnoLaunch", nullptr), "Zarnok Launcher");
  EXPECT_EQ(read(HKCR, "ZarnoLaunch\\shell\\open\\command", nullptr),
            "\"" + support::registeredLauncher() + "\" \"%1\"");
  EXPECT_EQ(read(HKCR, "MIME\\Database\\Content Type\\application/zarnolaunch", "Extension"), ".zarnok");
  const char *viewers = "Software\\Netscape\\Netscape Navigator\\Viewers";
  EXPECT_EQ(read(HKCU, viewers, "TYPE0"), "application/zarnolaunch");
  EXPECT_EQ(read(HKCU, viewers, "application/zarnolaunch"), support::registeredLauncher());
  EXPECT_EQ(read(HKCU, "Software\\Netscape\\Netscape Navigator", "x"), "y");
  EXPECT_EQ(read(HKCR, "Zarnok\\shell\\open\\command", nullptr), "\"" + game + "\" \"%1\"");
}

}  // namespace
