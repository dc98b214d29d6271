#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "launcher/launcher.h"

namespace {

// Runs cleanServer on a private copy; "<none>" stands for a refused value.
std::string clean(const std::string &raw) {
  std::string copy = raw;
  char *result = cleanServer(&copy[0]);
  if (!result) return "<none>";
  EXPECT_GE(result, &copy[0]);
  EXPECT_LE(result, &copy[0] + copy.size());
  return result;
}

struct Row {
  const char *raw;
  const char *expected;
};

TEST(CleanServer, Table) {
  const Row rows[] = {
      {"alpha.beta.gamma:7777", "alpha.beta.gamma:7777"},
      {"1.2.3.4", "1.2.3.4"},
      {"  zarnok://1.2.3.4:7777/junk", "1.2.3.4:7777"},
      {"a.b.c:7777 ; comment", "a.b.c:7777"},
      {"a.b.c 7777", "a.b.c"},
      {"a.b.c:7777:99", "a.b.c:7777"},
      {"a.b.c:77x", "a.b.c:77"},
      {"a.b.c:", "a.b.c:"},
      {"a.b.c.", "a.b.c."},
      {"a.b..c", "a.b."},
      {"a.b.c.:7777", "a.b.c."},
      {"a.b", "<none>"},
      {"a.b:7777", "<none>"},
      {"localhost:7777", "<none>"},
      {"my-server.alpha.beta", "<none>"},
      {"-a.b.c", "<none>"},
      {"a..b.c", "<none>"},
      {"ZARNOK://a.b.c", "<none>"},
      {"zarnok://  a.b.c", "<none>"},
      {"zarnok://zarnok://a.b.c", "<none>"},
      {"", "<none>"},
      // Tabs are blanks too; other white space is not.
      {"\t a.b.c", "a.b.c"},
      {"\na.b.c", "<none>"},
  };
  for (const Row &row : rows) EXPECT_EQ(clean(row.raw), row.expected) << "raw: " << row.raw;
}

TEST(CleanServer, NoInputGivesNone) { EXPECT_EQ(cleanServer(nullptr), nullptr); }

TEST(CleanServer, BlanksOnlyGiveNone) {
  EXPECT_EQ(clean("   \t  "), "<none>");
  char text[] = "  \t";
  EXPECT_EQ(skipBlanks(text), text + 3);
}

TEST(CleanServer, ResultLiesInsideTheInput) {
  char text[] = "  zarnok://a.b.c:1/x";
  char *result = cleanServer(text);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result, text + 11);
  EXPECT_STREQ(result, "a.b.c:1");
}

TEST(CleanServer, FullBufferStaysInside) {
  // A value that fills a whole 4096-byte buffer, terminator in the last byte:
  // with guard bytes on both sides that must stay untouched.
  const size_t size = 4096;
  std::string storage(size + 64, '#');
  char *buf = &storage[32];
  for (size_t i = 0; i < size - 1; ++i) buf[i] = (i % 4 == 3) ? '.' : 'a';
  buf[size - 1] = '\0';
  std::string before = storage;
  char *result = cleanServer(buf);
  ASSERT_EQ(result, buf);
  EXPECT_EQ(strlen(result), size - 1);
  EXPECT_EQ(storage.substr(0, 32), before.substr(0, 32));
  EXPECT_EQ(storage.substr(32 + size), before.substr(32 + size));

  // The same with a port that runs to the very end.
  std::string digits = "a.b.c:" + std::string(size - 7, '7');
  ASSERT_EQ(digits.size(), size - 1);
  EXPECT_EQ(clean(digits), digits);
}

TEST(CleanServer, HighBytesEndTheAddress) {
  for (int c = 0x80; c <= 0xFF; ++c) {
    std::string raw = "a.b.c";
    raw += (char)c;
    raw += "d:7777";
    EXPECT_EQ(clean(raw), "a.b.c") << "byte " << c;
    EXPECT_EQ(clean(std::string(1, (char)c) + "a.b.c"), "<none>") << "byte " << c;
    EXPECT_EQ(clean("a.b.c:77" + std::string(1, (char)c)), "a.b.c:77") << "byte " << c;
  }
}

}  // namespace
