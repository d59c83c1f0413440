#include "support/TestFiles.h"
#include "tool/ToolFixture.h"

namespace tool_tests {
namespace {

using testing_support::ReadBytes;

class IniToolTest : public ToolTest {
 protected:
  void SetUp() override { file = Copy("app.ini"); }
  std::string file;
};

TEST_F(IniToolTest, GetAnswersTheValueOrTheDefaultOrExitsOne) {
  EXPECT_EQ(Expect(0, {"ini", file, "get", "user", "NAME"}), "张三\n");
  EXPECT_EQ(Expect(0, {"ini", file, "get", "User", "Nope", "默认"}), "默认\n");
  EXPECT_EQ(Expect(1, {"ini", file, "get", "User", "Nope"}), "");
}

TEST_F(IniToolTest, SetRewritesOnlyItsLineInGbk) {
  std::string expected = ReadBytes(file);
  expected.replace(expected.find(Gbk("张三")), Gbk("张三").size(), Gbk("李四"));
  EXPECT_EQ(Expect(0, {"ini", file, "set", "User", "Name", "李四"}), "");
  EXPECT_EQ(ReadBytes(file), expected);
  EXPECT_EQ(Expect(0, {"ini", file, "set", "New", "Key", "v"}), "");
  EXPECT_EQ(Expect(0, {"ini", file, "sections"}), "Server\nUser\nNew\n");

  const std::string before = ReadBytes(file);
  EXPECT_EQ(Expect(2, {"ini", file, "set", "a]b", "Key", "v"}), "");  // would not read back
  EXPECT_EQ(Expect(2, {"ini", file, "set", "User", "", "v"}), "");
  EXPECT_EQ(ReadBytes(file), before);
}

TEST_F(IniToolTest, ListsAndRemoves) {
  EXPECT_EQ(Expect(0, {"ini", file, "keys", "server"}), "Host\nPort\nBackup\n");
  EXPECT_EQ(Expect(1, {"ini", file, "keys", "Nope"}), "");
  EXPECT_EQ(Expect(0, {"ini", file, "rm-key", "Server", "Backup"}), "");
  EXPECT_EQ(Expect(0, {"ini", file, "keys", "Server"}), "Host\nPort\n");
  EXPECT_EQ(Expect(0, {"ini", file, "rm-section", "User"}), "");
  EXPECT_EQ(Expect(1, {"ini", file, "rm-section", "User"}), "");
  EXPECT_EQ(Expect(1, {"ini", file, "rm-key", "Server", "Backup"}), "");
  EXPECT_EQ(Expect(0, {"ini", file, "sections"}), "Server\n");
  EXPECT_NE(ReadBytes(file).find("; Settings of the trading client."), std::string::npos);
}

TEST_F(IniToolTest, SubValuePicksOneField) {
  EXPECT_EQ(Expect(0, {"ini", file, "sub", "User", "Branches", "1", ";"}), "0102\n");
  EXPECT_EQ(Expect(0, {"ini", file, "sub", "User", "Branches", "0", ","}), "0101;0102;0201\n");
  EXPECT_EQ(Expect(1, {"ini", file, "sub", "User", "Branches", "3", ";"}), "");
  EXPECT_EQ(Expect(1, {"ini", file, "sub", "User", "Nope", "0", ";"}), "");
  EXPECT_EQ(Expect(2, {"ini", file, "sub", "User", "Branches", "0", ";;"}), "");
}

}  // namespace
}  // namespace tool_tests
