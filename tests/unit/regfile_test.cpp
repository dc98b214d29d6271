// The stand-in registry's text form.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/platform.h"
#include "platform/posix/regfile.h"

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

}  // namespace
