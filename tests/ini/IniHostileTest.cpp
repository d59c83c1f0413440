// Hostile INI input: a very long line, binary garbage with NUL bytes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

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

TEST(IniHostile, BinaryGarbageWithNulBytesReadsAndRewritesStably) {
  TempDir dir;
  const std::string path = dir.File("garbage.ini");
  std::mt19937 random(7);
  std::string bytes;
  for (int i = 0; i < 65536; ++i) bytes.push_back(static_cast<char>(random() % 8 == 0 ? '\n' : random() % 256));
  static const char kWithNuls[] = "\n[\0S]\nk\0=v\0w\n";
  bytes.append(kWithNuls, sizeof kWithNuls - 1);
  WriteBytes(path, bytes);
  std::string first;
  for (int round = 0; round < 2; ++round) {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()));
    std::vector<std::string> sections, keys;
    ini.GetSections(sections);
    for (const std::string& section : sections) {
      ini.GetKeysInSection(section.c_str(), keys);
      for (const std::string& key : keys) ini.GetSubValue(section.c_str(), key.c_str(), 2, ':');
    }
    ini.bModified = true;
    ASSERT_TRUE(ini.WriteFile());
    if (round == 0) first = ReadBytes(path);
  }
  EXPECT_EQ(ReadBytes(path), first);
}
