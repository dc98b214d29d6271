// Reading a Wine prefix: its registry's text form, its drives, the prefix
// that holds a file.  The registry texts are written as Wine writes them
// (compare any prefix's system.reg), and as Wine's loader still reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/wine/prefix.h"
#include "platform/posix/wine/winereg.h"
#include "support/support.h"

namespace fs = std::filesystem;

namespace {

const std::string header =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n";
const std::string commandKey = "\n[Software\\\\Classes\\\\Zarnok\\\\shell\\\\open\\\\command] 1796691561\n"
                               "#time=1dd86af5c1b7d00\n";
// A file whose command key holds these lines.
std::string keyed(const std::string &lines) { return header + commandKey + lines; }

TEST(WineRegistry, ReadsValuesAsWineLoadsThem) {
  const WineRegistryResult found = WINE_VALUE_FOUND, missing = WINE_VALUE_MISSING,
                           damaged = WINE_REGISTRY_DAMAGED;
  const struct {
    const char *what;
    std::string text;
    const char *name;
    WineRegistryResult result;
    std::string value;  // the value found, or the damaged line's number
  } cases[] = {
      {"as Wine wrote it", keyed(R"(@="\"C:\\Games\\Zarnok Spiel \xc4\\zarnok-demo.exe\" \"%1\"")" "\n"),
       nullptr, found, "\"C:\\Games\\Zarnok Spiel \xC3\x84\\zarnok-demo.exe\" \"%1\""},
      {"CRLF line ends",
       "WINE REGISTRY Version 2\r\n[Software\\\\Classes\\\\Zarnok\\\\shell\\\\open\\\\command]\r\n"
       "@=\"crlf\"\r\n",
       nullptr, found, "crlf"},
      {"a surrogate pair, four digits before a hex digit", keyed(R"(@="a\xd83d\xde001\x00c4B")" "\n"),
       nullptr, found, "a\xF0\x9F\x98\x80" "1\xC3\x84" "B"},
      {"\\x takes at most four digits", keyed(R"(@="\x41B\x4142")" "\n"), nullptr, found,
       "\xD0\x9B\xE4\x85\x82"},
      {"C escapes, octal, \\x without digits, cut at NUL", keyed(R"(@="\t\101\x\q\"\\\0after")" "\n"),
       nullptr, found, "\tAxq\"\\"},
      {"raw UTF-8, as Wine 8 reads it too", keyed("@=\"\xC3\x84\"\n"), nullptr, found, "\xC3\x84"},
      {"key names ignore case",
       header + "[software\\\\CLASSES\\\\zarnok\\\\Shell\\\\Open\\\\Command] 1\n@=\"lower\"\n", nullptr,
       found, "lower"},
      {"escapes in key names",
       header + "[Software\\\\Classes\\\\Zarn\\x6fk\\\\shell\\\\open\\\\command]\n@=\"escaped\"\n", nullptr,
       found, "escaped"},
      {"a key spread over the file: the later value wins, others stay",
       keyed("@=\"first\"\n\"Other\"=\"o\"\n\n[Software\\\\Classes\\\\Other] 1\n@=\"x\"\n"
             "\n[SOFTWARE\\\\Classes\\\\ZARNOK\\\\shell\\\\open\\\\command] 2\n@=\"second\"\n") +
           commandKey + "\"Third\"=\"t\"\n",
       nullptr, found, "second"},
      {"value names ignore case", keyed("\"Path\"=\"no\"\n\"PATH \\\"x\\\"\"=\"yes\"\n"), "path \"X\"", found,
       "yes"},
      {"an empty name is the default value", keyed("\"\"=\"empty name\"\n"), nullptr, found, "empty name"},
      {"blanks around =", keyed("@ =  \"spaced\"\n"), nullptr, found, "spaced"},
      {"str(2): expandable", keyed("@=str(2):\"%ProgramFiles%\\\\z.exe\"\n"), nullptr, found,
       "%ProgramFiles%\\z.exe"},
      {"hex(2): a string without terminator, over two lines", keyed("@=hex(2):43,00,3a,00,\\\n  5c,00\n"),
       nullptr, found, "C:\\"},
      {"continuation lines of another key's value are no lines of their own",
       header + "\n[Software\\\\Other] 1\n\"Bin\"=hex:00,01,\\\n  02,03\n" + commandKey +
           "@=\"after hex\"\n\"Bin\"=hex:5b,\\\n  5d\n",
       nullptr, found, "after hex"},
      {"another key's unreadable line is passed over",
       header + "\n[Software\\\\Other] 1\n\"broken\"=\"no end\nplain words\n" + commandKey + "@=\"ok\"\n",
       nullptr, found, "ok"},
      {"a value before any key is passed over", header + "@=\"stray\"\n" + commandKey + "@=\"ok\"\n", nullptr,
       found, "ok"},
      {"dword: no string", keyed("@=dword:00000001\n"), nullptr, missing, ""},
      {"hex: no string", keyed("@=hex:43,00\n"), nullptr, missing, ""},
      {"no such value", keyed("\"Other\"=\"o\"\n"), nullptr, missing, ""},
      {"a parent key only", header + "[Software\\\\Classes\\\\Zarnok\\\\shell\\\\open]\n@=\"p\"\n", nullptr,
       missing, ""},
      {"a subkey only", header + "[Software\\\\Classes\\\\Zarnok\\\\shell\\\\open\\\\command\\\\x]\n@=\"c\"\n",
       nullptr, missing, ""},
      {"no header", commandKey + "@=\"x\"\n", nullptr, damaged, "1"},
      {"another version", "WINE REGISTRY Version 1\n" + commandKey + "@=\"x\"\n", nullptr, damaged, "1"},
      {"a byte order mark", "\xEF\xBB\xBF" + keyed("@=\"x\"\n"), nullptr, damaged, "1"},
      {"empty", "", nullptr, damaged, "1"},
      {"an architecture Wine does not know",
       "WINE REGISTRY Version 2\n#arch=win128\n" + commandKey + "@=\"x\"\n", nullptr, damaged, "2"},
      {"a key line cut short", keyed("@=\"x\"\n[Software\\\\Classes\\\\Zar"), nullptr, damaged, "9"},
      {"the value cut short", keyed("@=\"\\\"C:\\\\Games"), nullptr, damaged, "8"},
      {"an unreadable line in the key", keyed("@=\"x\"\n\x01\x02garbage\n"), nullptr, damaged, "9"},
      {"a continuation that never comes", keyed("\"Bin\"=hex:00,\\\n"), nullptr, damaged, "8"},
  };
  for (const auto &c : cases) {
    std::string value;
    int line = 0;
    WineRegistryResult result = wineRegistryString(c.text, "Software\\Classes\\Zarnok\\shell\\open\\command",
                                                   c.name, value, &line);
    EXPECT_EQ(result, c.result) << c.what;
    EXPECT_EQ(result == found ? value : result == damaged ? std::to_string(line) : "", c.value) << c.what;
  }
}

// A prefix as Wine lays it out: its registry, drive_c, and dosdevices with
// c: and z:.
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
    ASSERT_TRUE(support::writeFile(prefix + "/system.reg", header));
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
    std::string path;
    bool found = wineUnixPath(prefix, c.windows, path);
    EXPECT_EQ(found ? path : "<none>", c.found ? game : "<none>") << c.windows;
  }
}

TEST_F(WinePrefixFiles, FindsThePrefixThatHoldsAFile) {
  EXPECT_EQ(winePrefixHolding(game), prefix);
  EXPECT_EQ(winePrefixHolding(prefix + "/dosdevices/c:/Games/Zarnok Spiel \xC3\x84/Zarnok.exe"), prefix);
  std::string outside = support::makeTempDir() + "/drive_c.exe";
  ASSERT_TRUE(support::writeFile(outside, "MZ"));
  EXPECT_EQ(winePrefixHolding(outside), "");
  EXPECT_EQ(winePrefixHolding("/"), "");
  // A prefix whose drive_c is a link to another disk: the folder above the
  // real drive_c holds no registry, and is no prefix.
  std::string disk = fs::canonical(support::makeTempDir()).string();
  fs::rename(prefix + "/drive_c", disk + "/drive_c");
  fs::create_directory_symlink(disk + "/drive_c", prefix + "/drive_c");
  EXPECT_EQ(winePrefixHolding(game), prefix);
  EXPECT_EQ(winePrefixHolding(disk + "/drive_c/Games/Zarnok Spiel \xC3\x84/Zarnok.exe"), "");
  EXPECT_TRUE(isWindowsProgram(game.c_str()));
  EXPECT_FALSE(isWindowsProgram(prefix.c_str()));
}

TEST(WineEnvironment, SetsThePrefixAndACharacterSetWineReadsPathsIn) {
  support::SavedEnv lcAll("LC_ALL"), lcCtype("LC_CTYPE"), lang("LANG");
  for (const char *name : {"LC_ALL", "LC_CTYPE", "LANG"}) support::unsetEnv(name);
  auto has = [](const std::vector<std::string> &env, const std::string &entry) {
    return std::find(env.begin(), env.end(), entry) != env.end();
  };
  const std::string wide = "/games/Spiel \xC3\x84/zarnok.exe";
  EXPECT_TRUE(wineEnvironment({}, "/games/zarnok.exe").empty());
  std::vector<std::string> env = wineEnvironment({"WINEPREFIX=/p"}, "/games/zarnok.exe");
  EXPECT_TRUE(has(env, "WINEPREFIX=/p"));
  EXPECT_FALSE(has(env, "LC_CTYPE=C.UTF-8"));
  EXPECT_TRUE(has(wineEnvironment({}, wide), "LC_CTYPE=C.UTF-8"));
  support::setEnv("LC_ALL", "de_DE");
  env = wineEnvironment({"WINEPREFIX=/p"}, wide);
  EXPECT_TRUE(has(env, "LC_CTYPE=C.UTF-8"));
  EXPECT_TRUE(has(env, "LANG=de_DE"));
  EXPECT_FALSE(has(env, "LC_ALL=de_DE"));
  support::setEnv("LC_ALL", "de_DE.utf8");
  EXPECT_TRUE(wineEnvironment({}, wide).empty());
}

}  // namespace
