// The stand-in registry file: its REGEDIT4 text form and the edits that
// keep a hand-written file's shape; where it lives, that nothing is lost,
// and that a file it cannot read is left alone; and the places and links the
// desktop registration shares with it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <string>

#include "platform/platform.h"
#include "platform/posix/common/file.h"
#include "platform/posix/desktop/desktop.h"
#include "platform/posix/registry/regfile.h"
#include "registry/registry.h"
#include "support/support.h"

namespace {

std::string valueOf(RegFile &file, const char *key, const char *name) {
  RegKey *k = regFindKey(file, key);
  if (!k) return "<no key>";
  const RegValue *v = regFindValue(*k, name);
  return v ? v->data : "<no value>";
}

TEST(RegFile, ReadsWhatExportsHold) {
  const char text[] =
      "REGEDIT4\r\n"
      "\r\n"
      "; a comment\r\n"
      "  ; an indented one, ending in a folder: C:\\Games\\\r\n"
      "[HKEY_CLASSES_ROOT\\Zarnok\\shell\\open\\command]\r\n"
      "@=\"\\\"C:\\\\Games\\\\zarnok.exe\\\" \\\"%1\\\"\"\r\n"
      "\r\n"
      "[hkey_current_user\\Software\\Netscape\\Netscape Navigator\\Viewers]\r\n"
      "\"TYPE0\"=\"text/plain\"\r\n"
      "\"Count\"=dword:0000002a\r\n"
      "\"Flags\"=hex:00,00,01,00\r\n"
      "\"Long\"=hex:01,02,\\\r\n"
      "  03,04\r\n"
      "\"Expand\"=hex(2):25,00\r\n";
  RegFile file;
  ASSERT_TRUE(regParse(text, sizeof text - 1, file));
  EXPECT_EQ(valueOf(file, "HKEY_CLASSES_ROOT\\zarnok\\SHELL\\open\\command", ""),
            std::string("\"C:\\Games\\zarnok.exe\" \"%1\"\0", 27));
  const char *viewers = "HKEY_CURRENT_USER\\Software\\Netscape\\Netscape Navigator\\Viewers";
  EXPECT_EQ(valueOf(file, viewers, "type0"), std::string("text/plain\0", 11));
  EXPECT_EQ(valueOf(file, viewers, "Count"), std::string("\x2a\0\0\0", 4));
  EXPECT_EQ(valueOf(file, viewers, "Flags"), std::string("\0\0\1\0", 4));
  EXPECT_EQ(valueOf(file, viewers, "Long"), std::string("\1\2\3\4", 4));
  EXPECT_EQ(regFindValue(*regFindKey(file, viewers), "Expand")->type, 2u);
  // Parents of a key exist although no section names them.
  EXPECT_NE(regFindKey(file, "HKEY_CLASSES_ROOT\\Zarnok\\shell"), nullptr);
  // Written out unchanged, it is the same text, byte for byte.
  EXPECT_EQ(regSerialize(file), std::string(text, sizeof text - 1));
}

TEST(RegFile, RefusesWhatItCannotRead) {
  // The first line that does not parse, by number, cut to 80 bytes.
  const std::string longLine = "garbage line " + std::string(100, 'x');
  const struct {
    std::string text;
    int line;
    std::string shown;
  } bad[] = {
      {"", 1, ""},
      {"REGEDIT5\n", 1, "REGEDIT5"},
      {"; a comment, and nothing else\n", 1, "; a comment, and nothing else"},
      {"REGEDIT4\n\"a\"=\"value before any key\"\n", 2, "\"a\"=\"value before any key\""},
      {"REGEDIT4\n[HKEY_NOWHERE\\x]\n", 2, "[HKEY_NOWHERE\\x]"},
      {"REGEDIT4\r\n[HKEY_CLASSES_ROOT\\x\r\n", 2, "[HKEY_CLASSES_ROOT\\x"},
      {"REGEDIT4\n[-HKEY_CLASSES_ROOT\\x]\n", 2, "[-HKEY_CLASSES_ROOT\\x]"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\x]\n\"a\"=\"unterminated\n", 3, "\"a\"=\"unterminated"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\x]\n\"a\"=hex:0g\n", 3, "\"a\"=hex:0g"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\x]\n\"a\"=-\n", 3, "\"a\"=-"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\x]\n\"a\"=hex:01,\\\n  zz\n", 3, "\"a\"=hex:01,\\"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\x]\n@=\"a\"\ngarbage line\n", 4, "garbage line"},
      {"REGEDIT4\n\n[HKEY_CLASSES_ROOT\\x]\n" + longLine, 4, longLine.substr(0, 80)},
  };
  for (const auto &c : bad) {
    RegFile file;
    RegParseError error;
    EXPECT_FALSE(regParse(c.text.data(), c.text.size(), file, &error)) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_EQ(error.text, c.shown) << c.text;
  }
}

// Every key and value of a, found in b with the same contents, and as many.
void expectSameContents(RegFile &a, RegFile &b) {
  EXPECT_EQ(a.keys.size(), b.keys.size());
  for (const RegKey &key : a.keys) {
    RegKey *other = regFindKey(b, key.path);
    ASSERT_NE(other, nullptr) << key.path;
    EXPECT_EQ(other->values.size(), key.values.size()) << key.path;
    for (const RegValue &v : key.values) {
      const RegValue *w = regFindValue(*other, v.name);
      ASSERT_NE(w, nullptr) << key.path << " " << v.name;
      EXPECT_EQ(w->type, v.type);
      EXPECT_EQ(w->data, v.data);
    }
  }
}

TEST(RegFile, EditsKeepTheShape) {
  const std::string sz("1\0", 2);
  auto set = [&](const char *path, const char *name) {
    return [=](RegFile &f) { regSetValue(f, regMakeKey(f, path), name, REG_TYPE_SZ, sz); };
  };
  auto eraseKey = [](const char *path) { return [=](RegFile &f) { regEraseKey(f, path); }; };
  const struct {
    std::string before;
    std::function<void(RegFile &)> edit;
    std::string after;
  } cases[] = {
      // A hand-written file and a new key: appended, no parents spelled out.
      {"REGEDIT4\n; my game\n[HKEY_CLASSES_ROOT\\Zarnok]\n@=\"z\"\n",
       set("HKEY_CLASSES_ROOT\\ZarnoLaunch\\shell\\open", "Path to Zarnok"),
       "REGEDIT4\n; my game\n[HKEY_CLASSES_ROOT\\Zarnok]\n@=\"z\"\n"
       "\n[HKEY_CLASSES_ROOT\\ZarnoLaunch\\shell\\open]\n\"Path to Zarnok\"=\"1\"\n"},
      // A new value: after the last value of its section, with CRLF.
      {"REGEDIT4\r\n[HKEY_CLASSES_ROOT\\A]\r\n\"x\"=\"0\"\r\n; keep\r\n\r\n[HKEY_CLASSES_ROOT\\B]\r\n",
       set("HKEY_CLASSES_ROOT\\a", "y"),
       "REGEDIT4\r\n[HKEY_CLASSES_ROOT\\A]\r\n\"x\"=\"0\"\r\n\"y\"=\"1\"\r\n; keep\r\n\r\n"
       "[HKEY_CLASSES_ROOT\\B]\r\n"},
      // A changed value: in place, spelled as it was; the last line has no end.
      {"REGEDIT4\n[hkey_classes_root\\A]  \n \"X\" = \"0\"\n\"z\"=dword:1",
       set("HKEY_CLASSES_ROOT\\A", "x"),
       "REGEDIT4\n[hkey_classes_root\\A]  \n\"X\"=\"1\"\n\"z\"=dword:1"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n\"z\"=dword:1", set("HKEY_CLASSES_ROOT\\A", "y"),
       "REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n\"z\"=dword:1\n\"y\"=\"1\"\n"},
      // A key that exists only through its subkey gets a section of its own.
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\P\\C]\n", set("HKEY_CLASSES_ROOT\\P", "v"),
       "REGEDIT4\n[HKEY_CLASSES_ROOT\\P\\C]\n\n[HKEY_CLASSES_ROOT\\P]\n\"v\"=\"1\"\n"},
      // Removing a key takes its header, the blank line before it, and its
      // values; a comment stays.
      {"REGEDIT4\n\n[HKEY_CLASSES_ROOT\\A]\n; note\n\"x\"=\"1\"\n\n[HKEY_CLASSES_ROOT\\B]\n@=\"b\"\n",
       eraseKey("HKEY_CLASSES_ROOT\\A"), "REGEDIT4\n; note\n\n[HKEY_CLASSES_ROOT\\B]\n@=\"b\"\n"},
      // The parent it implied keeps existing.
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\P\\C]\r\n\"x\"=\"1\"\n", eraseKey("HKEY_CLASSES_ROOT\\P\\C"),
       "REGEDIT4\n[HKEY_CLASSES_ROOT\\P]\r\n"},
      // A value set twice goes from both places.
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n\"x\"=\"1\"\n[HKEY_CLASSES_ROOT\\A]\n\"X\"=\"2\"\n\"y\"=\"3\"\n",
       [](RegFile &f) { regEraseValue(f, *regFindKey(f, "HKEY_CLASSES_ROOT\\A"), "x"); },
       "REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n[HKEY_CLASSES_ROOT\\A]\n\"y\"=\"3\"\n"},
  };
  for (const auto &c : cases) {
    RegFile file;
    ASSERT_TRUE(regParse(c.before.data(), c.before.size(), file)) << c.before;
    c.edit(file);
    std::string text = regSerialize(file);
    EXPECT_EQ(text, c.after);
    RegFile again;
    ASSERT_TRUE(regParse(text.data(), text.size(), again)) << text;
    expectSameContents(file, again);
  }
}

TEST(RegFile, WrittenTextReadsBackTheSame) {
  RegFile file;
  RegKey &key = regMakeKey(file, "HKEY_CLASSES_ROOT\\ZarnoLaunch\\shell\\open\\command");
  regSetValue(file, key, "", REG_TYPE_SZ, std::string("\"/opt/a \\\"b\\\"\" \"%1\"\0", 20));
  RegKey &other = regMakeKey(file, "HKEY_CURRENT_USER\\Software\\X");
  regSetValue(file, other, "editflags", REG_TYPE_BINARY, std::string("\0\0\1\0", 4));
  regSetValue(file, other, "line\\break", REG_TYPE_SZ, std::string("a\nb\0", 4));
  regSetValue(file, other, "unterminated", REG_TYPE_SZ, "abc");
  regSetValue(file, other, "dword", 4, std::string("\1\2\3\4", 4));
  std::string text = regSerialize(file);
  RegFile again;
  ASSERT_TRUE(regParse(text.data(), text.size(), again)) << text;
  EXPECT_EQ(regSerialize(again), text);
  EXPECT_EQ(valueOf(again, "HKEY_CURRENT_USER\\Software\\X", "line\\break"), std::string("a\nb\0", 4));
  EXPECT_EQ(valueOf(again, "HKEY_CURRENT_USER\\Software\\X", "unterminated"), "abc");
  // Names keep the case they were first written with.
  EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\ZarnoLaunch\\shell\\open\\command]"), std::string::npos);
  EXPECT_NE(text.find("\"editflags\"=hex:00,00,01,00"), std::string::npos);
}

TEST(RegFile, SettingTheSameValueIsNoChange) {
  RegFile file;
  RegKey &key = regMakeKey(file, "HKEY_CLASSES_ROOT\\a");
  EXPECT_TRUE(regSetValue(file, key, "v", REG_TYPE_SZ, "x"));
  EXPECT_FALSE(regSetValue(file, key, "V", REG_TYPE_SZ, "x"));
  EXPECT_TRUE(regSetValue(file, key, "V", REG_TYPE_BINARY, "x"));
  EXPECT_EQ(key.values.size(), 1u);
  EXPECT_EQ(key.values[0].name, "v");
}

// --- the file on disk ---------------------------------------------------------

std::string read(const char *path, const char *name) { return support::regText(HKCR, path, name); }

const char *const placeVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "PATH"};

class RegistryFile : public testing::Test {
 protected:
  std::deque<support::SavedEnv> saved;
  void SetUp() override {
    support::resetRegistry();
    for (const char *name : placeVariables) saved.emplace_back(name);
  }
  void TearDown() override {
    saved.clear();
    support::resetRegistry();
  }
};

// What the desktop registration handed to the launcher's failure record.
std::vector<std::string> desktopFailures;
void keepFailure(long error, const std::string &what) {
  desktopFailures.push_back(what + " " + std::to_string(error));
}
void noteNothing(const char *) {}

std::string registryProblem() {
  char text[1024], shown[2048];
  return platRegistryProblem(text, sizeof text, shown, sizeof shown) ? text : "<none>";
}

TEST_F(RegistryFile, WhereItLives) {
  std::string dir = support::makeTempDir();
  std::string home = support::joinPath(dir, "home");
  support::unsetEnv("ZARNOLAUNCH_REGISTRY");
  support::setEnv("HOME", home);
  support::unsetEnv("XDG_CONFIG_HOME");
  EXPECT_EQ(regWriteString(HKCR, "ZarnoLaunch", nullptr, "home"), 0);
  EXPECT_TRUE(support::fileExists(home + "/.config/zarnolaunch/registry.reg"));
  // A relative XDG_CONFIG_HOME is ignored; without an absolute HOME there
  // is no place at all, and nothing is written in the current folder.
  support::setEnv("XDG_CONFIG_HOME", "xdg");
  EXPECT_EQ(read("ZarnoLaunch", nullptr), "home");
  char oldCwd[4096];
  ASSERT_TRUE(getcwd(oldCwd, sizeof oldCwd));
  ASSERT_EQ(chdir(dir.c_str()), 0);
  support::setEnv("XDG_DATA_HOME", "share");
  for (const char *badHome : {"", "home"}) {
    if (*badHome)
      support::setEnv("HOME", badHome);
    else
      support::unsetEnv("HOME");
    PlatKeyHandle key;
    EXPECT_EQ(platRegCreateKey(HKCR, "ZarnoLaunch", &key), PLAT_ERROR_BADDB);
    EXPECT_EQ(registryProblem(), std::string("The registry file has no place: HOME is ") +
                                     (*badHome ? "not an absolute path." : "not set."));
    desktopFailures.clear();
    platDesktopInstall(support::launcherPath().c_str(), noteNothing,
                       [](long error, const char *what) { keepFailure(error, what); });
    EXPECT_EQ(desktopFailures, std::vector<std::string>{"$HOME/.local/share 203"});
  }
  EXPECT_FALSE(support::fileExists(dir + "/xdg"));
  EXPECT_FALSE(support::fileExists(dir + "/share"));
  EXPECT_FALSE(support::fileExists(dir + "/home/.local"));  // a relative HOME's data folder
  ASSERT_EQ(chdir(oldCwd), 0);
  support::setEnv("HOME", home);

  support::setEnv("XDG_CONFIG_HOME", dir + "/xdg");
  EXPECT_EQ(read("ZarnoLaunch", nullptr), "<none>");
  EXPECT_EQ(regWriteString(HKCR, "ZarnoLaunch", nullptr, "xdg"), 0);
  EXPECT_TRUE(support::fileExists(dir + "/xdg/zarnolaunch/registry.reg"));

  support::setEnv("ZARNOLAUNCH_REGISTRY", dir + "/explicit/r.reg");
  EXPECT_EQ(regWriteString(HKCR, "ZarnoLaunch", nullptr, "explicit"), 0);
  EXPECT_EQ(read("ZarnoLaunch", nullptr), "explicit");
  support::unsetEnv("ZARNOLAUNCH_REGISTRY");
  EXPECT_EQ(read("ZarnoLaunch", nullptr), "xdg");
}

TEST_F(RegistryFile, ALinkStaysALink) {
  // Links into a folder of dotfiles that does not hold the file yet, nor
  // exist: the registry file's and mimeapps.list.
  std::string dir = support::makeTempDir();
  support::setEnv("ZARNOLAUNCH_REGISTRY", dir + "/config/registry.reg");
  support::setEnv("XDG_CONFIG_HOME", dir + "/config");
  support::setEnv("XDG_DATA_HOME", dir + "/share");
  support::setEnv("PATH", dir);  // the desktop's tools are only noted missing
  ASSERT_TRUE(support::makeDirectory(dir + "/config"));
  for (const char *name : {"registry.reg", "mimeapps.list"})
    ASSERT_EQ(symlink((std::string("../dotfiles/new/") + name).c_str(), (dir + "/config/" + name).c_str()), 0);
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", "/opt/zarnok"), 0);
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", "/opt/zarnok2"), 0);
  desktopFailures.clear();
  platDesktopInstall(support::launcherPath().c_str(), noteNothing,
                     [](long error, const char *what) { keepFailure(error, what); });
  EXPECT_EQ(desktopFailures, std::vector<std::string>{});
  for (const char *name : {"registry.reg", "mimeapps.list"}) {
    struct stat st;
    ASSERT_EQ(lstat((dir + "/config/" + name).c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << name;
  }
  EXPECT_NE(support::readFile(dir + "/dotfiles/new/registry.reg").find("/opt/zarnok2"), std::string::npos);
  EXPECT_NE(support::readFile(dir + "/dotfiles/new/mimeapps.list").find("zarnolaunch.desktop"),
            std::string::npos);
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

TEST_F(RegistryFile, FilesAreReadWholeWhateverTheirStatusSays) {
  // Files are read in place, into room for the size their status gives: a
  // large one comes whole, and so does one that holds text while its status
  // says 0 (as /proc's do), each after what the string held before.
  std::string path = support::registryFilePath();
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", nullptr, "ours"), 0);
  ASSERT_TRUE(support::writeFile(path, "REGEDIT4\n[HKEY_CLASSES_ROOT\\ZarnoLaunch]\n\"Long\"=\"" +
                                           std::string(300000, 'x') + "\"\n@=\"theirs\"\n"));
  EXPECT_EQ(read("ZarnoLaunch", nullptr), "theirs");
  std::string status = "before ";
  ASSERT_TRUE(readRegularFile("/proc/self/status", status));
  EXPECT_EQ(status.compare(0, 13, "before Name:\t"), 0) << status;
  EXPECT_NE(status.find("\nPid:\t"), std::string::npos) << status;
}

TEST_F(RegistryFile, UnreadableFileIsNeverReplaced) {
  // Every call fails with 1009 while the file cannot be used, also through
  // a key opened before it broke; the calls of registry/ would end the run.
  std::string path = support::registryFilePath();
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch\\shell", "Path to Zarnok", "/opt/zarnok"), 0);
  const std::string good = support::readFile(path);
  const std::string cannot = "The registry file \"" + path + "\" cannot be read: ";
  const struct {
    std::string text, problem;
  } broken[] = {
      {good + "garbage line\n", "line 5: garbage line"},
      {good.substr(0, good.size() - 4), "line 4: \"Path to Zarnok\"=\"/opt/zarn"},
      {"not a registry at all\n", "line 1: not a registry at all"},
      {std::string("REGEDIT4\n\0\0\0", 12), std::string("line 2: ")},
      {"", "it is a folder."},
  };
  for (const auto &c : broken) {
    ASSERT_TRUE(support::writeFile(path, good));
    PlatKeyHandle key, other;
    ASSERT_EQ(platRegOpenKey(HKCR, "ZarnoLaunch", &key), 0);
    if (c.text.empty()) {
      ASSERT_EQ(::remove(path.c_str()), 0);
      ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    } else {
      ASSERT_TRUE(support::writeFile(path, c.text));
    }
    EXPECT_EQ(platRegOpenKey(HKCR, "ZarnoLaunch", &other), PLAT_ERROR_BADDB);
    EXPECT_EQ(registryProblem(), cannot + c.problem);
    unsigned long size = 0, subkeys, values;
    char name[64];
    const unsigned char data[] = "x";
    EXPECT_EQ(platRegQueryValue(key, "Path to Zarnok", nullptr, nullptr, &size), PLAT_ERROR_BADDB);
    EXPECT_EQ(platRegEnumKey(key, 0, name, sizeof name), PLAT_ERROR_BADDB);
    EXPECT_EQ(platRegCountEntries(key, &subkeys, &values), PLAT_ERROR_BADDB);
    EXPECT_EQ(platRegSetValue(key, "x", REG_TYPE_SZ, data, sizeof data), PLAT_ERROR_BADDB);
    EXPECT_EQ(platRegCreateKey(HKCR, "Other", &other), PLAT_ERROR_BADDB);
    EXPECT_EQ(platRegDeleteValue(HKCR, "ZarnoLaunch\\shell", "Path to Zarnok"), PLAT_ERROR_BADDB);
    EXPECT_EQ(platRegDeleteKey(HKCR, "ZarnoLaunch\\shell"), PLAT_ERROR_BADDB);
    platRegCloseKey(key);
    if (!c.text.empty()) {
      EXPECT_EQ(support::readFile(path), c.text);
    }
  }
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(RegistryFile, WritesKeepAHandWrittenFile) {
  // A comment and one key, then what a first launch, "-install" and
  // "-uninstall" write: the comment stays, no parent sections appear, and
  // taking the launcher's keys out gives back the file as it was, but for
  // the keys that Windows keeps: the MIME database's, Applications and
  // RegisteredApplications, which stay as they do on Windows.
  std::string path = support::registryFilePath();
  const std::string mine =
      "REGEDIT4\r\n; my game, installed by hand\r\n[HKEY_CLASSES_ROOT\\Zarnok\\shell\\open\\command]\r\n"
      "@=\"\\\"/bin/sh\\\" \\\"%1\\\"\"\r\n";
  ASSERT_TRUE(support::writeFile(path, mine));
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "Path to Zarnok", "/bin/sh"), 0);
  EXPECT_EQ(support::readFile(path),
            mine + "\r\n[HKEY_CLASSES_ROOT\\ZarnoLaunch]\r\n\"Path to Zarnok\"=\"/bin/sh\"\r\n");
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch\\shell\\open\\command", nullptr, "x"), 0);
  EXPECT_EQ(regDeleteTree(HKCR, "ZarnoLaunch"), 0);
  EXPECT_EQ(support::readFile(path), mine);
  support::RunResult r = support::run({support::launcherPath(), "-quiet", "-install"});
  EXPECT_EQ(support::readFile(path).compare(0, mine.size(), mine), 0);
  r = support::run({support::launcherPath(), "-quiet", "-uninstall"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(support::readFile(path), mine + "\r\n[HKEY_CLASSES_ROOT\\MIME\\Database\\Content Type]\r\n"
                                            "\r\n[HKEY_CLASSES_ROOT\\Applications]\r\n"
                                            "\r\n[HKEY_LOCAL_MACHINE\\Software\\RegisteredApplications]\r\n");
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
