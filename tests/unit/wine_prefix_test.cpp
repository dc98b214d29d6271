// Reading a Wine prefix: its registry's text form, its drives, the prefix
// that holds a file.  The registry texts are written as Wine writes them
// (compare any prefix's system.reg), and as Wine's loader still reads them.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "platform/posix/wine.h"
#include "support/support.h"

namespace fs = std::filesystem;

namespace {

const std::string header =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n";
const char *command = "Software\\Classes\\Zarnok\\shell\\open\\command";
const std::string commandKey = "\n[Software\\\\Classes\\\\Zarnok\\\\shell\\\\open\\\\command] 1796691561\n"
                               "#time=1dd86af5c1b7d00\n";

struct Case {
  const char *what;
  std::string text;
  const char *name;
  WineRegistryResult result;
  std::string value;  // the value found, or the damaged line's number
};

TEST(WineRegistry, ReadsValuesAsWineLoadsThem) {
  const Case cases[] = {
      {"as Wine wrote it", header + commandKey +
           R"(@="\"C:\\Games\\Zarnok Spiel \xc4\\zarnok-demo.exe\" \"%1\"")" "\n",
       nullptr, WINE_VALUE_FOUND, "\"C:\\Games\\Zarnok Spiel \xC3\x84\\zarnok-demo.exe\" \"%1\""},
      {"CRLF line ends", "WINE REGISTRY Version 2\r\n[Software\\\\Classes\\\\Zarnok\\\\shell\\\\open\\\\command]\r\n"
                         "@=\"crlf\"\r\n",
       nullptr, WINE_VALUE_FOUND, "crlf"},
      {"a surrogate pair, four digits before a hex digit",
       header + commandKey + R"(@="a\xd83d\xde001\x00c4B")" "\n", nullptr, WINE_VALUE_FOUND,
       "a\xF0\x9F\x98\x80" "1\xC3\x84" "B"},
      {"\\x takes at most four digits", header + commandKey + R"(@="\x41B\x4142")" "\n", nullptr,
       WINE_VALUE_FOUND, "\xD0\x9B\xE4\x85\x82"},
      {"C escapes, octal, \\x without digits, cut at NUL",
       header + commandKey + R"(@="\t\101\x\q\"\\\0after")" "\n", nullptr, WINE_VALUE_FOUND,
       "\tAxq\"\\"},
      {"raw UTF-8, as Wine 8 reads it too", header + commandKey + "@=\"\xC3\x84\"\n", nullptr,
       WINE_VALUE_FOUND, "\xC3\x84"},
      {"key names ignore case",
       header + "[software\\\\CLASSES\\\\zarnok\\\\Shell\\\\Open\\\\Command] 1\n@=\"lower\"\n", nullptr,
       WINE_VALUE_FOUND, "lower"},
      {"escapes in key names",
       header + "[Software\\\\Classes\\\\Zarn\\x6fk\\\\shell\\\\open\\\\command]\n@=\"escaped\"\n",
       nullptr, WINE_VALUE_FOUND, "escaped"},
      {"a key spread over the file: the later value wins, others stay",
       header + commandKey + "@=\"first\"\n\"Other\"=\"o\"\n\n[Software\\\\Classes\\\\Other] 1\n@=\"x\"\n" +
           "\n[SOFTWARE\\\\Classes\\\\ZARNOK\\\\shell\\\\open\\\\command] 2\n@=\"second\"\n" + commandKey +
           "\"Third\"=\"t\"\n",
       nullptr, WINE_VALUE_FOUND, "second"},
      {"value names ignore case", header + commandKey + "\"Path\"=\"no\"\n\"PATH \\\"x\\\"\"=\"yes\"\n",
       "path \"X\"", WINE_VALUE_FOUND, "yes"},
      {"an empty name is the default value", header + commandKey + "\"\"=\"empty name\"\n", nullptr,
       WINE_VALUE_FOUND, "empty name"},
      {"blanks around =", header + commandKey + "@ =  \"spaced\"\n", nullptr, WINE_VALUE_FOUND,
       "spaced"},
      {"str(2): expandable", header + commandKey + "@=str(2):\"%ProgramFiles%\\\\z.exe\"\n", nullptr,
       WINE_VALUE_FOUND, "%ProgramFiles%\\z.exe"},
      {"hex(2): a string without terminator, over two lines",
       header + commandKey + "@=hex(2):43,00,3a,00,\\\n  5c,00\n", nullptr, WINE_VALUE_FOUND,
       "C:\\"},
      {"continuation lines of another key's value are no lines of their own",
       header + "\n[Software\\\\Other] 1\n\"Bin\"=hex:00,01,\\\n  02,03\n" + commandKey +
           "@=\"after hex\"\n\"Bin\"=hex:5b,\\\n  5d\n",
       nullptr, WINE_VALUE_FOUND, "after hex"},
      {"another key's unreadable line is passed over",
       header + "\n[Software\\\\Other] 1\n\"broken\"=\"no end\nplain words\n" + commandKey + "@=\"ok\"\n",
       nullptr, WINE_VALUE_FOUND, "ok"},
      {"a value before any key is passed over", header + "@=\"stray\"\n" + commandKey + "@=\"ok\"\n",
       nullptr, WINE_VALUE_FOUND, "ok"},
      {"dword: no string", header + commandKey + "@=dword:00000001\n", nullptr, WINE_VALUE_MISSING, ""},
      {"hex: no string", header + commandKey + "@=hex:43,00\n", nullptr, WINE_VALUE_MISSING, ""},
      {"no such value", header + commandKey + "\"Other\"=\"o\"\n", nullptr, WINE_VALUE_MISSING, ""},
      {"a parent key only", header + "[Software\\\\Classes\\\\Zarnok\\\\shell\\\\open]\n@=\"p\"\n",
       nullptr, WINE_VALUE_MISSING, ""},
      {"a subkey only", header + "[Software\\\\Classes\\\\Zarnok\\\\shell\\\\open\\\\command\\\\x]\n@=\"c\"\n",
       nullptr, WINE_VALUE_MISSING, ""},
      {"no header", commandKey + "@=\"x\"\n", nullptr, WINE_REGISTRY_DAMAGED, "1"},
      {"another version", "WINE REGISTRY Version 1\n" + commandKey + "@=\"x\"\n", nullptr,
       WINE_REGISTRY_DAMAGED, "1"},
      {"a byte order mark", "\xEF\xBB\xBF" + header + commandKey + "@=\"x\"\n", nullptr,
       WINE_REGISTRY_DAMAGED, "1"},
      {"empty", "", nullptr, WINE_REGISTRY_DAMAGED, "1"},
      {"an architecture Wine does not know", "WINE REGISTRY Version 2\n#arch=win128\n" + commandKey +
           "@=\"x\"\n",
       nullptr, WINE_REGISTRY_DAMAGED, "2"},
      {"a key line cut short", header + commandKey + "@=\"x\"\n[Software\\\\Classes\\\\Zar", nullptr,
       WINE_REGISTRY_DAMAGED, "9"},
      {"the value cut short", header + commandKey + "@=\"\\\"C:\\\\Games", nullptr,
       WINE_REGISTRY_DAMAGED, "8"},
      {"an unreadable line in the key", header + commandKey + "@=\"x\"\n\x01\x02garbage\n", nullptr,
       WINE_REGISTRY_DAMAGED, "9"},
      {"a continuation that never comes", header + commandKey + "\"Bin\"=hex:00,\\\n", nullptr,
       WINE_REGISTRY_DAMAGED, "8"},
  };
  for (const Case &c : cases) {
    std::string value = "<unset>";
    int line = 0;
    WineRegistryResult result = wineRegistryString(c.text, command, c.name, value, &line);
    EXPECT_EQ(result, c.result) << c.what;
    if (result != c.result) continue;
    if (c.result == WINE_VALUE_FOUND) {
      EXPECT_EQ(value, c.value) << c.what;
    } else if (c.result == WINE_REGISTRY_DAMAGED) {
      EXPECT_EQ(std::to_string(line), c.value) << c.what;
    }
  }
}

// A prefix as Wine lays it out: drive_c, and dosdevices with c: and z:.
class WinePrefixFiles : public testing::Test {
 protected:
  std::string prefix, game;
  void SetUp() override {
    prefix = fs::canonical(support::makeTempDir()).string() + "/prefix";
    std::string folder = prefix + "/drive_c/Games/Zarnok Spiel \xC3\x84";
    fs::create_directories(folder);
    fs::create_directories(prefix + "/dosdevices");
    fs::create_directory_symlink("../drive_c", prefix + "/dosdevices/c:");
    fs::create_directory_symlink("/", prefix + "/dosdevices/z:");
    game = folder + "/Zarnok.exe";
    ASSERT_TRUE(support::writeFile(game, "MZ\x90"));
  }
};

TEST_F(WinePrefixFiles, MapsWindowsPathsThroughTheDrives) {
  std::string zPath = game;
  std::replace(zPath.begin(), zPath.end(), '/', '\\');
  const struct {
    std::string windows;
    bool found;
  } cases[] = {
      {"C:\\Games\\Zarnok Spiel \xC3\x84\\Zarnok.exe", true},
      {"c:\\GAMES\\zarnok spiel \xC3\xA4\\ZARNOK.EXE", true},  // ä for Ä
      {"C:/Games/./Other/../Zarnok Spiel \xC3\x84/Zarnok.exe", true},
      {"\\\\?\\C:\\Games\\Zarnok Spiel \xC3\x84\\Zarnok.exe", true},
      {"Z:" + zPath, true},
      {"C:\\Games\\Zarnok Spiel A\\Zarnok.exe", false},
      {"C:\\Games\\Zarnok Spiel \xC3\x84\\missing.exe", false},
      {"D:\\Games\\Zarnok Spiel \xC3\x84\\Zarnok.exe", false},
      {"Games\\Zarnok Spiel \xC3\x84\\Zarnok.exe", false},
  };
  for (const auto &c : cases) {
    std::string path = "<unset>";
    EXPECT_EQ(wineUnixPath(prefix, c.windows, path), c.found) << c.windows;
    if (c.found) {
      EXPECT_EQ(path, game) << c.windows;
    }
  }
}

TEST_F(WinePrefixFiles, FindsThePrefixThatHoldsAFile) {
  EXPECT_EQ(winePrefixHolding(game), prefix);
  EXPECT_EQ(winePrefixHolding(prefix + "/dosdevices/c:/Games/Zarnok Spiel \xC3\x84/Zarnok.exe"), prefix);
  std::string outside = support::makeTempDir() + "/drive_c.exe";
  ASSERT_TRUE(support::writeFile(outside, "MZ"));
  EXPECT_EQ(winePrefixHolding(outside), "");
  EXPECT_EQ(winePrefixHolding("/"), "");
  EXPECT_TRUE(isWindowsProgram(game.c_str()));
  EXPECT_FALSE(isWindowsProgram(prefix.c_str()));
}

TEST(WineEnvironment, SetsThePrefixAndACharacterSetWineReadsPathsIn) {
  const char *names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  std::string saved[3];
  bool had[3];
  for (int i = 0; i < 3; ++i) {
    const char *v = getenv(names[i]);
    had[i] = v != nullptr;
    saved[i] = v ? v : "";
    unsetenv(names[i]);
  }
  auto has = [](const std::vector<std::string> &env, const std::string &entry) {
    return std::find(env.begin(), env.end(), entry) != env.end();
  };
  EXPECT_TRUE(wineEnvironment("", "/games/zarnok.exe").empty());
  std::vector<std::string> env = wineEnvironment("/p", "/games/zarnok.exe");
  EXPECT_TRUE(has(env, "WINEPREFIX=/p"));
  EXPECT_FALSE(has(env, "LC_CTYPE=C.UTF-8"));
  env = wineEnvironment("", "/games/Spiel \xC3\x84/zarnok.exe");
  EXPECT_TRUE(has(env, "LC_CTYPE=C.UTF-8"));
  setenv("LC_ALL", "de_DE", 1);
  env = wineEnvironment("/p", "/games/Spiel \xC3\x84/zarnok.exe");
  EXPECT_TRUE(has(env, "LC_CTYPE=C.UTF-8"));
  EXPECT_TRUE(has(env, "LANG=de_DE"));
  EXPECT_FALSE(has(env, "LC_ALL=de_DE"));
  setenv("LC_ALL", "de_DE.utf8", 1);
  EXPECT_TRUE(wineEnvironment("", "/games/Spiel \xC3\x84/zarnok.exe").empty());
  for (int i = 0; i < 3; ++i) {
    if (had[i])
      setenv(names[i], saved[i].c_str(), 1);
    else
      unsetenv(names[i]);
  }
}

}  // namespace
