// What the end-to-end tests share: a fresh registry, a private directory,
// the stand-in game, and reading what the launcher left behind.
#ifndef ZARNO_E2E_FIXTURE_H
#define ZARNO_E2E_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "registry/registry.h"
#include "support/support.h"

class LauncherTest : public testing::Test {
 protected:
  std::string dir, log, record;

  void SetUp() override {
    support::resetRegistry();
    dir = support::makeTempDir();
    log = support::joinPath(dir, "launcher.log");
    nextRecord();
  }
  void TearDown() override {
    while (!saved.empty()) saved.pop_back();  // put back, the latest first
    support::resetRegistry();
  }

  // Environment variables changed through these are put back after the test.
  void setEnv(const std::string &name, const std::string &value) {
    saved.emplace_back(name);
    support::setEnv(name, value);
  }
  void unsetEnv(const std::string &name) {
    saved.emplace_back(name);
    support::unsetEnv(name);
  }

  // The game's installation: its open command names the stand-in game.
  static std::string installGame(const std::string &game = support::fakeGamePath()) {
    std::string command = "\"" + game + "\" \"%1\"";
    EXPECT_EQ(regWriteString(HKCR, "Zarnok\\shell\\open\\command", nullptr, command.c_str()), 0);
    return game;
  }

  // A folder named in Cyrillic and CJK letters ("Сервер 日本", in UTF-8),
  // as a player's user or download folder may be.
  std::string foreignFolder() {
    std::string folder = support::joinPath(
        dir, "\xD0\xA1\xD0\xB5\xD1\x80\xD0\xB2\xD0\xB5\xD1\x80 \xE6\x97\xA5\xE6\x9C\xAC");
    if (!support::fileExists(folder)) {
      EXPECT_TRUE(support::makeDirectory(folder));
    }
    return folder;
  }
  // A copy of a program inside folder, under its own name.
  static std::string copyInto(const std::string &program, const std::string &folder) {
    std::string copy =
        support::joinPath(folder, program.substr(program.find_last_of(support::pathSeparator()) + 1));
    EXPECT_TRUE(support::copyProgram(program, copy));
    return copy;
  }

  std::string linkFile(const std::string &content, const std::string &name = "server.zarnok") {
    std::string path = support::joinPath(dir, name);
    EXPECT_TRUE(support::writeFile(path, content));
    return path;
  }
  std::string serverFile(const std::string &server, const std::string &name = "server.zarnok") {
    return linkFile("[ZarnoLaunch]\r\nServer=" + server + "\r\n", name);
  }
  // The same in another folder: name is a full path.
  static std::string serverFileAt(const std::string &server, const std::string &path) {
    EXPECT_TRUE(support::writeFile(path, "[ZarnoLaunch]\r\nServer=" + server + "\r\n"));
    return path;
  }

  // The log without its run header, one string a line.
  std::vector<std::string> logLines(const std::string &path = "") {
    std::string text = support::normalise(support::readFile(path.empty() ? log : path));
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    if (!lines.empty() && !lines[0].empty() && lines[0][0] == '[') lines.erase(lines.begin());
    return lines;
  }
  std::string logText(const std::string &path = "") {
    return support::normalise(support::readFile(path.empty() ? log : path));
  }

  // The arguments the game was started with; fails the test when it was not.
  // The next game writes a record of its own.
  std::vector<std::string> gameArguments() {
    std::vector<std::string> args;
    EXPECT_TRUE(support::readGameRecord(record, args, 20000)) << "no record of the game: " << record;
    nextRecord();
    return args;
  }
  // A new name for the game's record, so that no game started before, which
  // may still be running, can write the record read next.
  void nextRecord() {
    record = support::joinPath(dir, "game-record-" + std::to_string(++records) + ".txt");
    support::setEnv("ZARNOK_RECORD", record);
  }
  bool gameStarted() { return support::fileExists(record); }

  static std::string read(unsigned long root, const char *path, const char *name) {
    return support::regText(root, path, name);
  }

 private:
  std::deque<support::SavedEnv> saved;
  int records = 0;
};

#endif
