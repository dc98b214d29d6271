// Finding the game: the stored path, the game's own open command, and what is
// written back.
#include <filesystem>
#include <string>

#include "e2e/fixture.h"

namespace {

const char notInstalled[] = "Zarnok is not properly installed!  Please reinstall Zarnok.";
const char notFound[] = "Can't find Zarnok on your system!";

class GameLookup : public LauncherTest {
 protected:
  // Runs the launcher on a good link file with the start turned off; returns
  // the path it found, or the error text it ended with.
  std::string lookup() {
    std::string link = serverFile("a.b.c:1");
    support::RunResult r = support::runLauncher({"-quiet", "-launch", "-logfile", log, link});
    std::vector<std::string> lines = logLines();
    ::remove(log.c_str());
    const std::string found = "path to Zarnok: \"";
    const std::string failed = "Alert text:  ";
    for (const std::string &line : lines) {
      if (line.rfind(found, 0) == 0) {
        EXPECT_EQ(r.status, 0);
        return line.substr(found.size(), line.size() - found.size() - 1);
      }
      if (line.rfind(failed, 0) == 0) {
        EXPECT_EQ(r.status, 1);
        return line.substr(failed.size());
      }
    }
    ADD_FAILURE() << "neither a path nor an error in the log";
    return "";
  }
  std::string stored() { return read(HKCR, "ZarnoLaunch", "Path to Zarnok"); }
};

TEST_F(GameLookup, FromTheGamesOpenCommand) {
  // A game whose path holds spaces, as "Program Files" does, beside a folder
  // whose name is the first word of it, as "C:\Program" could be.
  std::string folder = support::joinPath(dir, "Zarnok Game");
  std::string game = support::joinPath(folder, "zarnok game.exe");
  std::filesystem::create_directories(folder);
  std::filesystem::create_directories(support::joinPath(dir, "Zarnok"));
  std::filesystem::copy_file(support::fakeGamePath(), game);
  std::string gone = support::joinPath(dir, "gone.exe");
  setEnv("ZARNO_TEST_GAMES", folder);
  std::string variable = std::string("%ZARNO_TEST_GAMES%") + support::pathSeparator() + "zarnok game.exe";
  struct Row {
    std::string command;
    std::string expected;
    unsigned long type = REG_TYPE_SZ;
  } rows[] = {
      {"\"" + game + "\" \"%1\"", game},
      {"\"" + game + "\"", game},
      {"\"" + game + "\" -connect \"%1\"", game},
      {"\"" + game + "\" %1", game},
      {"\"" + game + "\"   \t", game},
      {"\"" + game + " \"%1\"", game},  // no closing quote: the rest of the command
      {"\"" + game, game},
      {game + "  ", game},
      {game + " \"%1\"", game},
      {game + "\"%1\"", game},
      // Unquoted, as Windows reads it: each blank ends a candidate, and the
      // first that names a file is the program.
      {game + " %1", game},
      {game + " \"%1\" ", game},
      {game + " -connect", game},
      {game.substr(0, game.size() - 4) + " %1", game},  // ".exe" is implied
      {gone + " %1", notFound},
      {"\"\" \"%1\"", notFound},
      {"", notFound},
      {"\"" + std::string(300, 'x') + "\" \"%1\"", notFound},
      // REG_EXPAND_SZ, expanded before it is read.
      {"\"" + variable + "\" \"%1\"", game, REG_TYPE_EXPAND_SZ},
      {"\"" + variable + "\" \"%1\"", notFound},
  };
  for (const Row &row : rows) {
    support::resetRegistry();
    ASSERT_EQ(regWriteValue(HKCR, "Zarnok\\shell\\open\\command", nullptr, row.command.c_str(),
                            (unsigned long)row.command.size() + 1, row.type),
              0);
    EXPECT_EQ(lookup(), row.expected) << row.command;
    // What was derived is remembered; nothing is written on a failure.
    EXPECT_EQ(stored(), row.expected == game ? game : "<none>") << row.command;
  }
}

TEST_F(GameLookup, NoCommandAtAll) {
  EXPECT_EQ(lookup(), notInstalled);
  ASSERT_EQ(regWriteString(HKCR, "Zarnok\\shell\\open\\command", "notTheDefault", "x"), 0);
  EXPECT_EQ(lookup(), notInstalled);
}

TEST_F(GameLookup, TheStoredPathComesFirst) {
  std::string game = support::fakeGamePath();
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", game.c_str()), 0);
  std::string before = support::dumpRegistry();
  // The game's own key may be missing altogether.
  EXPECT_EQ(lookup(), game);
  EXPECT_EQ(support::dumpRegistry(), before);
}

TEST_F(GameLookup, AStalePathIsPassedOver) {
  std::string gone = support::joinPath(dir, "removed.exe");
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", gone.c_str()), 0);
  EXPECT_EQ(lookup(), notInstalled);
  EXPECT_EQ(stored(), gone);

  std::string game = installGame();
  EXPECT_EQ(lookup(), game);
  EXPECT_EQ(stored(), game);
}

TEST_F(GameLookup, AStoredPathTooLongForTheCacheIsPassedOver) {
  std::string longPath = dir;
  while (longPath.size() < 300) longPath = support::joinPath(longPath, "long-directory-name");
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", longPath.c_str()), 0);
  std::string game = installGame();
  EXPECT_EQ(lookup(), game);
}

}  // namespace
