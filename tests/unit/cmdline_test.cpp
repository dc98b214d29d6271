#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/cmdline.h"

namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, WindowsRules) {
  struct Case {
    const char *line;
    Args expected;
  } cases[] = {
      {"\"C:\\Games\\Zarnok\\zarnok.exe\" a.b.c:7777", {"C:\\Games\\Zarnok\\zarnok.exe", "a.b.c:7777"}},
      {"\"/opt/zarnok game/zarnok\" 1.2.3.4", {"/opt/zarnok game/zarnok", "1.2.3.4"}},
      {"plain arg1  arg2\t arg3", {"plain", "arg1", "arg2", "arg3"}},
      {"p \"a b\" c", {"p", "a b", "c"}},
      {"p a\\\\b", {"p", "a\\\\b"}},
      {"p a\\\"b", {"p", "a\"b"}},
      {"p a\\\\\"b c\"", {"p", "a\\b c"}},
      {"p \"a\"\"b\"", {"p", "a\"b"}},
      {"p \"\"", {"p", ""}},
      {"\"C:\\dir\\\" x", {"C:\\dir\\", "x"}},  // no escapes in the program name
      {"\"unclosed program", {"unclosed program"}},
      {"p \"unclosed arg", {"p", "unclosed arg"}},
      {"   ", {}},
      {"", {}},
  };
  for (const Case &c : cases) EXPECT_EQ(splitCommandLine(c.line), c.expected) << c.line;
}

}  // namespace
