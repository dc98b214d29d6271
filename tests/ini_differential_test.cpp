// The stand-in's INI reader against the real one: every file below is read
// natively by the stand-in and under Wine by GetPrivateProfileStringA, and
// the two must hand back the same bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/ini/ini.h"
#include "support/support.h"

namespace {

struct Request {
  std::string content;
  std::string section = "ZarnoLaunch";
  std::string key = "Server";
  unsigned size = 4096;
};

std::vector<Request> requests() {
  std::vector<Request> r = {
      {"[ZarnoLaunch]\nServer=alpha.beta.gamma:7777\n"},
      {"[ZarnoLaunch]\r\nServer=crlf.line.ends\r\n"},
      {"[ZarnoLaunch]\rServer=cr.only\r"},
      {"[zarnolaunch]\nserver=lower.case\n"},
      {"[ZARNOLAUNCH]\nSERVER=upper.case\n"},
      {"  [ZarnoLaunch]  \n   Server   =   spaced.value   \n"},
      {"[ ZarnoLaunch ]\nServer=blanks.in.brackets\n"},
      {"\t[ZarnoLaunch]\t\n\tServer\t=\ttabs\t\n"},
      {"[ZarnoLaunch]\nServer=\"double.quoted\"\n"},
      {"[ZarnoLaunch]\nServer='single.quoted'\n"},
      {"[ZarnoLaunch]\nServer=\"unmatched\n"},
      {"[ZarnoLaunch]\nServer=\"mixed'\n"},
      {"[ZarnoLaunch]\nServer=\"\n"},
      {"[ZarnoLaunch]\nServer=\"\"\n"},
      {"[ZarnoLaunch]\nServer=\" inner blanks \"\n"},
      {"[ZarnoLaunch]\nServer=\"a\"b\"\n"},
      {"[ZarnoLaunch]\n;Server=commented.out\nServer=real.one\n"},
      {"; leading comment\n[ZarnoLaunch]\nServer=after.comment ; not a comment\n"},
      {"[ZarnoLaunch]\nServer=first.key\nServer=second.key\n"},
      {"[ZarnoLaunch]\nOther=1\n[Elsewhere]\n[zarnolaunch]\nServer=second.section\n"},
      {"[ZarnoLaunch]\nServer=first.section\n[ZarnoLaunch]\nServer=second.section\n"},
      {"[Other]\nServer=wrong.section\n"},
      {"Server=no.section\n[ZarnoLaunch]\n"},
      {"[ZarnoLaunch]\nServer\nServer=after.bare.key\n"},
      {"[ZarnoLaunch]\nServer=\n"},
      {"[ZarnoLaunch]\nServer=a = b\n"},
      {"[ZarnoLaunch\nServer=unclosed.section\n"},
      {"[ZarnoLaunch]trailing\nServer=after.trailing\n"},
      {"[Zarno]Launch]\nServer=inner.bracket\n"},
      {"\xEF\xBB\xBF[ZarnoLaunch]\nServer=utf8.bom\n"},
      {"[ZarnoLaunch]\nServer=no.final.line.end"},
      {"[ZarnoLaunch]\n\n\n   \n\t\nServer=after.blank.lines\n"},
      {"[ZarnoLaunch]\nServer=ctrl.z\x1a\n"},
      {"[ZarnoLaunch]\nServer=\xA0nbsp\xA0\n"},
      {"[ZarnoLaunch]\nServer=high\xE9\x80\xFF.bytes\n"},
      {"[ZarnoLaunch]\nServer=vertical\vtab\f\n"},
      {""},
      {"[ZarnoLaunch]\nServer=abcdefgh\n", "ZarnoLaunch", "Server", 5},
      {"[ZarnoLaunch]\nServer=\"abcdefgh\"\n", "ZarnoLaunch", "Server", 5},
      {"[ZarnoLaunch]\nServer=\"abcdefgh\"\n", "ZarnoLaunch", "Server", 9},
      {"[ZarnoLaunch]\nServer=\"abcdefgh\"\n", "ZarnoLaunch", "Server", 10},
      {"[ZarnoLaunch]\nServer=x\n", "Missing", "Server", 3},
      {"[ZarnoLaunch]\nServer=zarnok://1.2.3.4:7777/junk\n"},
      {"[ZarnoLaunch]\nServer=" + std::string(5000, 'z') + "\n"},
      {"[ZarnoLaunch]\nServer=\"" + std::string(4094, 'q') + "\"\n"},
      {"[ZarnoLaunch]\nServer=a.b.c\n", " ZarnoLaunch ", " Server "},
      // Bytes that are no UTF-8, read in a UTF-8 code page: one U+FFFD for
      // each bad sequence, however far Windows takes a sequence in.
      {"[ZarnoLaunch]\nServer=x\xE2\x82y\xF0\x9F\x98z\n"},
      {"[ZarnoLaunch]\nServer=x\xED\xA0\x80y\xE0\x80\x80z\n"},
      {"[ZarnoLaunch]\nServer=x\xF4\x90\x80\x80y\xC0\xAF\xF8\x88z\n"},
      {"[Zarno\xFFLaunch]\nServer=in.the.section\n[ZarnoLaunch]\nServer=x\xE2\x82"},
      {"[ZarnoLaunch]\nServer=\xC2\xA0no.break\xE2\x80\x83spaces\xE3\x80\x80\n"},
      {"\xC2\xA0[ZarnoLaunch]\n\xC2\xA0Server=after.a.no.break.space\n"},
  };
  // UTF-16 with its mark, little- and big-endian: a pair is one character,
  // a surrogate without its partner is U+FFFD.
  auto utf16 = [](const std::vector<unsigned> &value, bool big) {
    std::string text = big ? "\xFE\xFF" : "\xFF\xFE";
    std::vector<unsigned> units;
    for (char c : std::string("[ZarnoLaunch]\r\nServer=")) units.push_back((unsigned char)c);
    units.insert(units.end(), value.begin(), value.end());
    units.push_back('\r');
    units.push_back('\n');
    for (unsigned u : units) {
      char hi = (char)(u >> 8), lo = (char)(u & 0xFF);
      text += big ? std::string{hi, lo} : std::string{lo, hi};
    }
    return text;
  };
  r.push_back({utf16({'u', 't', 'f', '1', '6', '.', 'l', 'e'}, false)});
  r.push_back({utf16({'x', 0xD83D, 0xDE00, 'y', 0xD800, 'z', 0xDC00, 0xD800, 0xD800}, false)});
  r.push_back({utf16({'x', 0xD83D, 0xDE00, 'y', 0xDBFF}, true)});
  return r;
}

TEST(IniDifferential, StandInAgreesWithWindows) {
  const std::string probe = ZARNO_INI_PROBE;
  ASSERT_TRUE(support::fileExists(probe))
      << probe << " is missing: build the win32 preset before running this test";
  std::vector<Request> all = requests();
  ASSERT_GE(all.size(), 30u);

  std::string dir = support::makeTempDir();
  std::string list;
  for (size_t i = 0; i < all.size(); ++i) {
    std::string path = support::joinPath(dir, "case" + std::to_string(i) + ".ini");
    ASSERT_TRUE(support::writeFile(path, all[i].content));
    list += "Z:" + path + "\t" + all[i].section + "\t" + all[i].key + "\t" +
            std::to_string(all[i].size) + "\n";
  }
  std::string input = support::joinPath(dir, "requests.txt");
  std::string output = support::joinPath(dir, "answers.txt");
  ASSERT_TRUE(support::writeFile(input, list));
  support::RunResult r =
      support::run({ZARNO_WINE_RUN, ZARNO_WINE_PREFIX, probe, "Z:" + input, "Z:" + output});
  ASSERT_EQ(r.status, 0) << r.errorOutput;

  std::istringstream answers(support::readFile(output));
  for (size_t i = 0; i < all.size(); ++i) {
    unsigned long windowsLength = 0;
    std::string hex;
    ASSERT_TRUE(answers >> windowsLength) << "no answer for case " << i;
    if (windowsLength) answers >> hex;
    std::string windows;
    for (size_t j = 0; j + 1 < hex.size(); j += 2)
      windows += (char)std::stoi(hex.substr(j, 2), nullptr, 16);

    std::vector<char> buf(all[i].size + 1, '#');
    const Request &q = all[i];
    unsigned long n = iniLookup(q.content.data(), q.content.size(), q.section.c_str(),
                                q.key.c_str(), "DEFAULT", buf.data(), q.size);
    EXPECT_EQ(n, windowsLength) << "case " << i << ": " << q.content.substr(0, 80);
    EXPECT_EQ(std::string(buf.data(), n), windows) << "case " << i << ": " << q.content.substr(0, 80);
  }
}

}  // namespace
