#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "launcher/launcher.h"
#include "support/support.h"

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

// A column of the shared table, its escapes undone.
std::string unescaped(const std::string &column) {
  std::string text;
  for (size_t i = 0; i < column.size(); ++i) {
    char c = column[i];
    if (c == '\\' && i + 1 < column.size()) {
      char next = column[++i];
      c = next == 't' ? '\t' : next == 'n' ? '\n' : next;
    }
    text += c;
  }
  return text;
}

// The rows of tests/server_addresses.tsv, which the join page's check is
// held to as well.
TEST(CleanServer, Table) {
  std::string table = support::readFile(ZARNO_ADDRESS_TABLE);
  ASSERT_FALSE(table.empty()) << ZARNO_ADDRESS_TABLE;
  int rows = 0;
  for (size_t start = 0, end; start < table.size(); start = end + 1) {
    end = table.find('\n', start);
    if (end == std::string::npos) end = table.size();
    std::string line = table.substr(start, end - start);
    if (line.empty() || line[0] == '#') continue;
    size_t tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    std::string raw = unescaped(line.substr(0, tab));
    EXPECT_EQ(clean(raw), unescaped(line.substr(tab + 1))) << "raw: " << raw;
    ++rows;
  }
  EXPECT_GT(rows, 0);
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

  // The same with a port that runs to the very end: zeros, then 7777.
  std::string digits = "a.b.c:" + std::string(size - 11, '0') + "7777";
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
