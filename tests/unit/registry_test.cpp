// Registry access against the real backend of the build: Wine's registry in
// the build's own prefix, or the stand-in registry file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "registry/registry.h"
#include "support/support.h"

namespace {

class RegistryAccess : public testing::Test {
 protected:
  void SetUp() override { support::resetRegistry(); }
  void TearDown() override { support::resetRegistry(); }

  static std::string read(unsigned long root, const char *path, const char *name) {
    return support::regText(root, path, name);
  }
};

TEST_F(RegistryAccess, WriteCreatesKeyAndParents) {
  EXPECT_FALSE(regKeyExists(HKCR, "ZarnoLaunch\\UnitTest\\Deep"));
  EXPECT_EQ(regWriteString(HKCR, "ZarnoLaunch\\UnitTest\\Deep", nullptr, "bottom"), 0);
  EXPECT_TRUE(regKeyExists(HKCR, "ZarnoLaunch\\UnitTest\\Deep"));
  EXPECT_TRUE(regKeyExists(HKCR, "ZarnoLaunch\\UnitTest"));
  EXPECT_TRUE(regKeyExists(HKCR, "ZarnoLaunch"));
  EXPECT_EQ(read(HKCR, "ZarnoLaunch\\UnitTest\\Deep", nullptr), "bottom");
}

TEST_F(RegistryAccess, NamesIgnoreCase) {
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch\\UnitTest", "Path to Zarnok", "C:\\game.exe"), 0);
  EXPECT_EQ(read(HKCR, "zarnolaunch\\UNITTEST", "PATH TO ZARNOK"), "C:\\game.exe");
  EXPECT_TRUE(regKeyExists(HKCR, "ZARNOLAUNCH\\unittest"));
  // Writing under another case replaces the value rather than adding one.
  ASSERT_EQ(regWriteString(HKCR, "ZARNOLAUNCH\\UnitTest", "path to zarnok", "D:\\other.exe"), 0);
  EXPECT_EQ(read(HKCR, "ZarnoLaunch\\UnitTest", "Path to Zarnok"), "D:\\other.exe");
}

TEST_F(RegistryAccess, DefaultValue) {
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch\\UnitTest", "named", "x"), 0);
  EXPECT_EQ(read(HKCR, "ZarnoLaunch\\UnitTest", nullptr), "<none>");  // never set
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch\\UnitTest", nullptr, "default"), 0);
  EXPECT_EQ(read(HKCR, "ZarnoLaunch\\UnitTest", nullptr), "default");
  EXPECT_EQ(read(HKCR, "ZarnoLaunch\\UnitTest", "named"), "x");
}

TEST_F(RegistryAccess, MissingKeysAndValues) {
  EXPECT_FALSE(regKeyExists(HKCR, "ZarnoLaunch\\UnitTest"));
  EXPECT_EQ(read(HKCR, "ZarnoLaunch\\UnitTest", "absent"), "<none>");
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch\\UnitTest", "present", "1"), 0);
  EXPECT_EQ(read(HKCR, "ZarnoLaunch\\UnitTest", "absent"), "<none>");
  EXPECT_FALSE(regKeyExists(HKCU, "Software\\Netscape\\Netscape Navigator"));
  // Several values through one opening: each as regReadString gives it.
  const char *const names[] = {"absent", "present", nullptr};
  char *values[3];
  regReadStrings(HKCR, "ZarnoLaunch\\Elsewhere", names, values, 3);
  for (char *value : values) EXPECT_EQ(value, nullptr);
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch\\UnitTest", nullptr, "default"), 0);
  regReadStrings(HKCR, "ZarnoLaunch\\UnitTest", names, values, 3);
  EXPECT_EQ(values[0], nullptr);
  EXPECT_STREQ(values[1], "1");
  EXPECT_STREQ(values[2], "default");
  for (char *value : values) free(value);
}

TEST_F(RegistryAccess, BinaryValueReadsBackAsItsBytes) {
  const unsigned char flags[4] = {0x00, 0x00, 0x01, 0x00};
  ASSERT_EQ(regWriteBinary(HKCR, "ZarnoLaunch\\UnitTest", "editflags", flags, 4), 0);
  // A binary value comes back as its bytes with a terminator after them.
  PlatKeyHandle key;
  ASSERT_EQ(platRegOpenKey(HKCR, "ZarnoLaunch\\UnitTest", &key), 0);
  unsigned long type = 0, size = 0;
  EXPECT_EQ(platRegQueryValue(key, "editflags", &type, nullptr, &size), 0);
  EXPECT_EQ(type, REG_TYPE_BINARY);
  EXPECT_EQ(size, 4u);
  unsigned char data[8] = {};
  size = sizeof data;
  EXPECT_EQ(platRegQueryValue(key, "editflags", &type, data, &size), 0);
  EXPECT_EQ(memcmp(data, flags, 4), 0);
  platRegCloseKey(key);
  char *text = regReadString(HKCR, "ZarnoLaunch\\UnitTest", "editflags");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(memcmp(text, flags, 4), 0);
  EXPECT_EQ(text[4], '\0');
  free(text);
}

TEST_F(RegistryAccess, ValuesWithoutTerminatorComeBackTerminated) {
  // A string stored without its terminator, and one of size 0.
  ASSERT_EQ(regWriteValue(HKCR, "ZarnoLaunch\\UnitTest", "bare", "abc", 3, REG_TYPE_SZ), 0);
  ASSERT_EQ(regWriteValue(HKCR, "ZarnoLaunch\\UnitTest", "empty", "", 0, REG_TYPE_BINARY), 0);
  EXPECT_EQ(read(HKCR, "ZarnoLaunch\\UnitTest", "bare"), "abc");
  EXPECT_EQ(read(HKCR, "ZarnoLaunch\\UnitTest", "empty"), "");
}

TEST_F(RegistryAccess, SecondRootIsSeparate) {
  ASSERT_EQ(regWriteString(HKCU, "Software\\Netscape\\Netscape Navigator\\Viewers", "TYPE0", "a/b"), 0);
  EXPECT_TRUE(regKeyExists(HKCU, "Software\\Netscape\\Netscape Navigator"));
  EXPECT_FALSE(regKeyExists(HKCR, "Software\\Netscape\\Netscape Navigator"));
  EXPECT_EQ(read(HKCU, "Software\\Netscape\\Netscape Navigator\\Viewers", "type0"), "a/b");
}

TEST_F(RegistryAccess, Deletion) {
  const char *top = "ZarnoLaunch\\UnitTest";
  for (const char *key : {"ZarnoLaunch\\UnitTest\\a\\deep", "ZarnoLaunch\\UnitTest\\b"})
    ASSERT_EQ(regWriteString(HKCR, key, "v", "1"), 0);
  ASSERT_EQ(regWriteString(HKCR, top, nullptr, "default"), 0);
  ASSERT_EQ(regWriteString(HKCR, "ZarnoLaunch", "beside", "stays"), 0);
  // A key with subkeys is refused, as Windows refuses it.
  EXPECT_EQ(platRegDeleteKey(HKCR, top), PLAT_ERROR_ACCESS_DENIED);
  EXPECT_FALSE(regKeyIsEmpty(HKCR, top));

  EXPECT_EQ(platRegDeleteValue(HKCR, top, nullptr), 0);
  EXPECT_EQ(read(HKCR, top, nullptr), "<none>");
  EXPECT_EQ(platRegDeleteValue(HKCR, top, nullptr), PLAT_ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(regDeleteTree(HKCR, top), 0);
  EXPECT_FALSE(regKeyExists(HKCR, top));
  EXPECT_EQ(read(HKCR, "ZarnoLaunch", "beside"), "stays");
  EXPECT_EQ(regDeleteTree(HKCR, top), PLAT_ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platRegDeleteKey(HKCR, top), PLAT_ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platRegDeleteValue(HKCR, "ZarnoLaunch", "absent"), PLAT_ERROR_FILE_NOT_FOUND);

  ASSERT_EQ(platRegDeleteValue(HKCR, "ZarnoLaunch", "beside"), 0);
  EXPECT_TRUE(regKeyIsEmpty(HKCR, "ZarnoLaunch"));
  EXPECT_FALSE(regKeyIsEmpty(HKCR, "ZarnoLaunch\\Missing"));
}

}  // namespace
