// The stand-in registry's text form.
#include <gtest/gtest.h>

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
}

TEST(RegFile, RefusesWhatItCannotRead) {
  const char *bad[] = {
      "",
      "REGEDIT5\n",
      "REGEDIT4\n\"a\"=\"value before any key\"\n",
      "REGEDIT4\n[HKEY_NOWHERE\\x]\n",
      "REGEDIT4\n[HKEY_CLASSES_ROOT\\x\n",
      "REGEDIT4\n[-HKEY_CLASSES_ROOT\\x]\n",
      "REGEDIT4\n[HKEY_CLASSES_ROOT\\x]\n\"a\"=\"unterminated\n",
      "REGEDIT4\n[HKEY_CLASSES_ROOT\\x]\n\"a\"=hex:0g\n",
      "REGEDIT4\n[HKEY_CLASSES_ROOT\\x]\n\"a\"=-\n",
      "REGEDIT4\n[HKEY_CLASSES_ROOT\\x]\nplain words\n",
  };
  for (const char *text : bad) {
    RegFile file;
    EXPECT_FALSE(regParse(text, strlen(text), file)) << text;
  }
}

TEST(RegFile, WrittenTextReadsBackTheSame) {
  RegFile file;
  RegKey &key = regMakeKey(file, "HKEY_CLASSES_ROOT\\ZarnoLaunch\\shell\\open\\command");
  regSetValue(key, "", REG_TYPE_SZ, std::string("\"/opt/a \\\"b\\\"\" \"%1\"\0", 20));
  RegKey &other = regMakeKey(file, "HKEY_CURRENT_USER\\Software\\X");
  regSetValue(other, "editflags", REG_TYPE_BINARY, std::string("\0\0\1\0", 4));
  regSetValue(other, "line\\break", REG_TYPE_SZ, std::string("a\nb\0", 4));
  regSetValue(other, "unterminated", REG_TYPE_SZ, "abc");
  regSetValue(other, "dword", 4, std::string("\1\2\3\4", 4));
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
  EXPECT_TRUE(regSetValue(key, "v", REG_TYPE_SZ, "x"));
  EXPECT_FALSE(regSetValue(key, "V", REG_TYPE_SZ, "x"));
  EXPECT_TRUE(regSetValue(key, "V", REG_TYPE_BINARY, "x"));
  EXPECT_EQ(key.values.size(), 1u);
  EXPECT_EQ(key.values[0].name, "v");
}

}  // namespace
