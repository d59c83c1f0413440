// A very long line read and written whole. NUL bytes are a golden file's case
// (nul-bytes.ini); arbitrary bytes rewriting stably is the INI fuzzer's check.
#include <gtest/gtest.h>

#include <string>

#include "include/KdIni.h"
#include "support/TestFiles.h"

using namespace testing_support;

TEST(IniHostile, SixteenMegabyteLineIsReadAndWrittenWhole) {
  TempDir dir;
  const std::string path = dir.File("long.ini");
  const std::string value(16u << 20, 'x');
  WriteBytes(path, "[S]\nlong=" + value + "\nshort=1\n");
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()));
    EXPECT_EQ(ini.GetValue("S", "long").size(), value.size());
    ASSERT_TRUE(ini.SetValue("S", "short", "2"));
  }
  EXPECT_EQ(ReadBytes(path), "[S]\nlong=" + value + "\nshort=2\n");
}
