#include "support/TestFiles.h"
#include "tool/ToolFixture.h"

namespace tool_tests {
namespace {

using testing_support::ReadBytes;
using testing_support::WriteBytes;

using ToolConventionsTest = ToolTest;

// GBK bytes of the names used: 张三, 李四, 王五.
const std::string kZhangSan = "\xD5\xC5\xC8\xFD", kLiSi = "\xC0\xEE\xCB\xC4", kWangWu = "\xCD\xF5\xCE\xE5";

// Help is checked against the manual page (ManPageTest), misuses and missing
// files are in sessions/conventions.session.

// The tool's own conversion: UTF-8 arguments land as GBK bytes, and only the
// value's bytes change.
TEST_F(ToolConventionsTest, TextIsUtf8OnTheCommandLineAndGbkInTheFile) {
  const std::string xml = Copy("stations.xml");
  EXPECT_EQ(Expect(0, {"xml", xml, "set", "SERVER", "Title", "备用网关"}), "");
  EXPECT_NE(ReadBytes(xml).find("\xB1\xB8\xD3\xC3\xCD\xF8\xB9\xD8"), std::string::npos);  // GBK
  const std::string ini = Copy("app.ini");
  std::string expected = ReadBytes(ini);
  expected.replace(expected.find(kZhangSan), kZhangSan.size(), kLiSi);
  EXPECT_EQ(Expect(0, {"ini", ini, "set", "User", "Name", "李四"}), "");
  EXPECT_EQ(ReadBytes(ini), expected);
}

TEST_F(ToolConventionsTest, AFailedWriteKeepsTheOldFile) {
  ToolOptions tooSmall;
  tooSmall.fileSizeLimit = 64;  // every example is larger
  for (const char* name : {"stations.xml", "app.ini"}) {
    const std::string file = Copy(name);
    const std::string before = ReadBytes(file);
    const std::string group = std::string(name).find(".xml") != std::string::npos ? "xml" : "ini";
    const ToolResult result = RunTool({group, file, "set", "SERVER", "Host", "10.9.9.9"}, tooSmall);
    EXPECT_EQ(result.status, 2) << name;
    EXPECT_NE(result.err.find("cannot write"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("File too large"), std::string::npos) << result.err;  // the reason
    EXPECT_EQ(ReadBytes(file), before) << name;
  }
  // No temporary file left behind (EntryCount passes over the saves' lock files).
  EXPECT_EQ(dir.EntryCount(), 2);
}

TEST_F(ToolConventionsTest, RawBytesAndTextThatCannotBeConverted) {
  const std::string file = Copy("app.ini");
  const std::string before = ReadBytes(file);
  EXPECT_EQ(Expect(0, {"--raw", "ini", file, "get", "User", "Name"}), kZhangSan + "\n");
  EXPECT_EQ(Expect(2, {"ini", file, "set", "User", "Name", "\xff"}), "");      // not UTF-8
  EXPECT_EQ(Expect(2, {"ini", file, "set", "User", "Name", "\xe4\xb8"}), "");  // cut short
  EXPECT_EQ(Expect(2, {"ini", file, "set", "User", "Name", "\xf0\x9f\x98\x80"}), "");  // no GBK
  EXPECT_EQ(ReadBytes(file), before);

  EXPECT_EQ(Expect(0, {"ini", file, "set", "User", "Name", kWangWu, "--raw"}), "");
  EXPECT_EQ(Expect(0, {"ini", file, "get", "User", "Name"}), "王五\n");

  WriteBytes(file, "[S]\nK=\x81\x7f\n");  // a lead byte without a trail byte
  const ToolResult bad = RunTool({"ini", file, "get", "S", "K"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_NE(bad.err.find("--raw"), std::string::npos);
  EXPECT_EQ(Expect(0, {"--raw", "ini", file, "get", "S", "K"}), "\x81\x7f\n");

  ToolOptions plainC;
  plainC.locale = "C";  // taken as UTF-8
  WriteBytes(file, "[S]\nK=\xD6\xB5\n");  // 值
  EXPECT_EQ(Expect(0, {"ini", file, "get", "S", "K"}, plainC), "值\n");
}

}  // namespace
}  // namespace tool_tests
