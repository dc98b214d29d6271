// The stand-in's INI reader.  Agreement with Windows itself is checked by the
// comparison with Wine (ini_differential_test.cpp); these cases pin the rules
// down where a change would be easy to miss.
#include <gtest/gtest.h>

#include <string>

#include "platform/posix/ini/ini.h"

namespace {

std::string lookup(const std::string &text, const char *section = "ZarnoLaunch",
                   const char *key = "Server", unsigned long size = 64) {
  std::string buf(size + 8, '#');
  unsigned long n = iniLookup(text.data(), text.size(), section, key, "DEF", &buf[0], size);
  EXPECT_EQ(buf[n], '\0');
  EXPECT_LT(n, size);
  EXPECT_EQ(buf.substr(size), std::string(8, '#')) << "written past the buffer";
  return buf.substr(0, n);
}

TEST(IniLookup, Rules) {
  struct Case {
    const char *text;
    const char *expected;
  } cases[] = {
      {"[ZarnoLaunch]\nServer=a.b.c\n", "a.b.c"},
      {"[zarnolaunch]\nSERVER=a.b.c\n", "a.b.c"},
      {"  [ ZarnoLaunch ]  \r\n  Server  =   v w   \r\n", "v w"},
      {"[ZarnoLaunch]\nServer=\"quoted\"\n", "quoted"},
      {"[ZarnoLaunch]\nServer='single'\n", "single"},
      {"[ZarnoLaunch]\nServer=\"open\n", "\"open"},
      {"[ZarnoLaunch]\nServer=\"\n", "\""},
      {"[ZarnoLaunch]\nServer=\"a\"b\"\n", "a\"b"},
      {"[ZarnoLaunch]\n;Server=commented\nServer=real\n", "real"},
      {"[ZarnoLaunch]\nServer=first\nServer=second\n", "first"},
      {"[ZarnoLaunch]\nOther=1\n[ZarnoLaunch]\nServer=second section\n", "DEF"},
      {"[Other]\nServer=elsewhere\n", "DEF"},
      {"[ZarnoLaunch]\nServer\nServer=later\n", "DEF"},
      {"[ZarnoLaunch\nServer=no bracket\n", "DEF"},
      {"[ZarnoLaunch]junk\nServer=after\n", "after"},
      {"\xEF\xBB\xBF[ZarnoLaunch]\nServer=bom\n", "bom"},
      {"[ZarnoLaunch]\rServer=cr only\r", "cr only"},
      {"[ZarnoLaunch]\nServer=a\x1a\n", "a"},
      {"[ZarnoLaunch]\nServer=\n", ""},
      {"", "DEF"},
      {"[ZarnoLaunch]\nServer=a = b\n", "a = b"},
      // Only ASCII blanks are trimmed, not a no-break space; a byte that is
      // no UTF-8 reads as U+FFFD, as in the Windows build's code page.
      {"[ZarnoLaunch]\nServer=\xC2\xA0x\xC2\xA0\n", "\xC2\xA0x\xC2\xA0"},
      {"[ZarnoLaunch]\nServer=\xA0x\xED\xA0\x80\n", "\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const Case &c : cases) EXPECT_EQ(lookup(c.text), c.expected) << c.text;
}

TEST(IniLookup, NulEndsTheValue) {
  EXPECT_EQ(lookup(std::string("[ZarnoLaunch]\nServer=abc\0def\n", 27)), "abc");
}

TEST(IniLookup, Utf16WithByteOrderMark) {
  std::string ascii = "[ZarnoLaunch]\r\nServer=a.b.c:1\r\n";
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (char c : ascii) {
    le += c;
    le += '\0';
    be += '\0';
    be += c;
  }
  EXPECT_EQ(lookup(le), "a.b.c:1");
  EXPECT_EQ(lookup(be), "a.b.c:1");
}

TEST(IniLookup, CutToTheBuffer) {
  EXPECT_EQ(lookup("[ZarnoLaunch]\nServer=abcdefgh\n", "ZarnoLaunch", "Server", 5), "abcd");
  // Quoted values: the closing quote is dropped only when it made it in.
  EXPECT_EQ(lookup("[ZarnoLaunch]\nServer=\"abcdefgh\"\n", "ZarnoLaunch", "Server", 5), "abcd");
  EXPECT_EQ(lookup("[ZarnoLaunch]\nServer=\"abcdefgh\"\n", "ZarnoLaunch", "Server", 9), "abcdefg");
  EXPECT_EQ(lookup("[ZarnoLaunch]\nServer=\"abcdefgh\"\n", "ZarnoLaunch", "Server", 10), "abcdefgh");
  EXPECT_EQ(lookup("[ZarnoLaunch]\nServer=x\n", "Missing", "Server", 2), "D");
}

TEST(IniLookup, KeysBeforeAnySectionBelongToTheEmptyOne) {
  EXPECT_EQ(lookup("Server=top\n[ZarnoLaunch]\n", "", "Server"), "top");
  EXPECT_EQ(lookup("Server=top\n[ZarnoLaunch]\n"), "DEF");
}

}  // namespace
