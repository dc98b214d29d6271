// The stand-in registry file: where it lives, that nothing is lost, and that
// a file it cannot read is left alone.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/posix/regfile.h"
#include "registry/registry.h"
#include "support/support.h"

namespace {

std::string read(const char *path, const char *name) { return support::regText(HKCR, path, name); }

class RegistryFile : public testing::Test {
 protected:
  void SetUp() override { support::resetRegistry(); }
  void TearDown() override {
    support::unsetEnv("XDG_CONFIG_HOME");
    support::resetRegistry();
  }
};

TEST_F(RegistryFile, WhereItLives) {
  std::string dir = support::makeTempDir();
  std::string home = support::joinPath(dir, "home");
  std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
  support::unsetEnv("ZARNOLAUNCH_REGISTRY");
  support::setEnv("HOME", home);
  support::unsetEnv("XDG_CONFIG_HOME");
  EXPECT_EQ(regWriteString(HKCR, "ZarnoLaunch", nullptr, "home"), 0);
  EXPECT_TRUE(support::fileExists(home + "/.config/zarnolaunch/registry.reg"));

  support::setEnv("XDG_CONFIG_HOME", dir + "/xdg");
  EXPECT_EQ(read("ZarnoLaunch", nullptr), "<none>");
  EXPECT_EQ(regWriteString(HKCR, "ZarnoLaunch", nullptr, "xdg"), 0);
  EXPECT_TRUE(support::fileExists(dir + "/xdg/zarnolaunch/registry.reg"));

  support::setEnv("ZARNOLAUNCH_REGISTRY", dir + "/explicit/r.reg");
  EXPECT_EQ(regWriteString(HKCR, "ZarnoLaunch", nullptr, "explicit"), 0);
  EXPECT_EQ(read("ZarnoLaunch", nullptr), "explicit");
  support::unsetEnv("ZARNOLAUNCH_REGISTRY");
  EXPECT_EQ(read("ZarnoLaunch", nullptr), "xdg");
  support::setEnv("HOME", oldHome);
}

TEST_F(RegistryFile, MissingFileIsEmptyAndAWriteMakesIt) {
  std::string path = support::registryFilePath();
  EXPECT_FALSE(regKeyExists(HKCR, "ZarnoLaunch"));
  EXPECT_FALSE(support::fileExists(path));
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", "/opt/zarnok"), 0);
  EXPECT_EQ(support::readFile(path),
            "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\ZarnoLaunch]\n\"Path to Zarnok\"=\"/opt/zarnok\"\n");
}

TEST_F(RegistryFile, ChangesByOthersAreSeen) {
  std::string path = support::registryFilePath();
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", nullptr, "ours"), 0);
  EXPECT_EQ(read("ZarnoLaunch", nullptr), "ours");
  ASSERT_TRUE(support::writeFile(path, "REGEDIT4\n[HKEY_CLASSES_ROOT\\ZarnoLaunch]\n@=\"theirs\"\n"));
  EXPECT_EQ(read("ZarnoLaunch", nullptr), "theirs");
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "x", "1"), 0);
  EXPECT_EQ(read("ZarnoLaunch", nullptr), "theirs");
}

TEST_F(RegistryFile, UnreadableFileIsNeverReplaced) {
  std::string path = support::registryFilePath();
  const std::string broken[] = {
      "REGEDIT4\n[HKEY_CLASSES_ROOT\\ZarnoLaunch]\n\"Path to Zarnok\"=\"/opt/zar",
      "not a registry at all\n",
      std::string("REGEDIT4\n\0\0\0", 12),
  };
  for (const std::string &text : broken) {
    ASSERT_TRUE(support::writeFile(path, text));
    EXPECT_EQ(read("ZarnoLaunch", "Path to Zarnok"), "<none>");
    EXPECT_FALSE(regKeyExists(HKCR, "ZarnoLaunch"));
    EXPECT_EQ(regWriteString(HKCR, "ZarnoLaunch", nullptr, "x"), PLAT_ERROR_BADDB);
    EXPECT_EQ(support::readFile(path), text);
  }
  // A directory where the file should be.
  ::remove(path.c_str());
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  EXPECT_EQ(read("ZarnoLaunch", nullptr), "<none>");
  EXPECT_NE(regWriteString(HKCR, "ZarnoLaunch", nullptr, "x"), 0);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(RegistryFile, DirectoryThatIsAFileFailsTheWrite) {
  std::string blocker = support::joinPath(support::makeTempDir(), "file");
  ASSERT_TRUE(support::writeFile(blocker, "x"));
  support::setEnv("ZARNOLAUNCH_REGISTRY", blocker + "/registry.reg");
  EXPECT_EQ(read("ZarnoLaunch", nullptr), "<none>");
  EXPECT_EQ(regWriteString(HKCR, "ZarnoLaunch", nullptr, "x"), PLAT_ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(support::readFile(blocker), "x");
}

TEST_F(RegistryFile, ConcurrentWritersLoseNothing) {
  const int writers = 8, values = 25;
  std::vector<pid_t> children;
  for (int w = 0; w < writers; ++w) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      for (int v = 0; v < values; ++v) {
        std::string key = "ZarnoLaunch\\Writer" + std::to_string(w);
        std::string name = "value" + std::to_string(v);
        failures += regWriteString(HKCR, key.c_str(), name.c_str(), name.c_str()) != 0;
      }
      _exit(failures ? 1 : 0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::string text = support::readFile(support::registryFilePath());
  RegFile file;
  ASSERT_TRUE(regParse(text.data(), text.size(), file));
  for (int w = 0; w < writers; ++w)
    for (int v = 0; v < values; ++v) {
      std::string key = "ZarnoLaunch\\Writer" + std::to_string(w);
      std::string name = "value" + std::to_string(v);
      EXPECT_EQ(read(key.c_str(), name.c_str()), name);
    }
}

TEST_F(RegistryFile, KilledWriterLeavesAWholeFile) {
  // Kill writers at varied points of their writes; whatever survives must be
  // a file that parses and holds at least the values written before.
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "base", std::string(20000, 'b').c_str()), 0);
  for (int round = 0; round < 40; ++round) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int v = 0;; ++v) {
        std::string name = "r" + std::to_string(v);
        regWriteString(HKCR, "ZarnoLaunch\\Killed", name.c_str(), std::string(5000, 'k').c_str());
      }
    }
    usleep(200 + round * 150);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    std::string text = support::readFile(support::registryFilePath());
    RegFile file;
    ASSERT_TRUE(regParse(text.data(), text.size(), file)) << "round " << round;
    EXPECT_EQ(read("ZarnoLaunch", "base"), std::string(20000, 'b'));
  }
}

TEST_F(RegistryFile, KilledLauncherLeavesAWholeRegistry) {
  // A registry large enough that each write of "-install" takes a while, and
  // launchers killed at varied points of their registration.
  std::string padding;
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", "/bin/sh"), 0);
  for (int i = 0; i < 3000; ++i) {
    std::string name = "pad" + std::to_string(i);
    padding += "\"" + name + "\"=\"" + std::string(40, 'p') + "\"\n";
  }
  std::string path = support::registryFilePath();
  ASSERT_TRUE(support::writeFile(path, support::readFile(path) + "\n[HKEY_CURRENT_USER\\Padding]\n" + padding));
  std::string launcher = support::launcherPath();
  for (int round = 0; round < 30; ++round) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      execl(launcher.c_str(), launcher.c_str(), "-quiet", "-install", (char *)nullptr);
      _exit(127);
    }
    usleep(300 + round * 200);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    std::string text = support::readFile(path);
    RegFile file;
    ASSERT_TRUE(regParse(text.data(), text.size(), file)) << "round " << round;
    EXPECT_EQ(support::regText(HKCU, "Padding", "pad2999"), std::string(40, 'p'));
    EXPECT_EQ(read("ZarnoLaunch", "Path to Zarnok"), "/bin/sh");
  }
}

}  // namespace
