// The deployment commands' output that the sessions cannot state: findings
// named by the path given, and the demo's built-in copy.
#include "tool/ToolFixture.h"

namespace tool_tests {
namespace {

class DeployToolTest : public ToolTest {
 protected:
  void SetUp() override { file = Copy("deploy.xml"); }
  std::string file;
};

TEST_F(DeployToolTest, CheckPrintsTheFindingsASummaryAndTheirWorstSeverity) {
  // The golden file's one finding, named by the path the tool was given.
  const std::string golden = testing_support::SourceFile("tests/deploy/check/no-trade-domain");
  const std::string copy = dir.File("no-trade-domain.xml");
  testing_support::WriteBytes(copy, testing_support::ReadBytes(golden + ".xml"));
  std::string finding = testing_support::ReadBytes(golden + ".expected");
  finding.replace(0, finding.find(':'), copy);
  ToolResult result = RunTool({"deploy", copy, "check"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, finding + copy + ": 0 errors, 1 warning\n");
  result = RunTool({"deploy", copy, "check", "--werror"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out.substr(0, result.out.find(": error: ")), copy + ":10");
}

TEST_F(DeployToolTest, DemoWalksTheExampleFromTheFileOrTheBuiltInCopy) {
  const std::string walk = Expect(0, {"demo", file});
  EXPECT_NE(walk.find("-> TA_SH1,TA_SH2,  (the first, TA_SH1, is asked first)\n"),
            std::string::npos);
  EXPECT_NE(walk.find("\n   -> TA_SH2\n"), std::string::npos);
  EXPECT_NE(walk.find("\n   -> HA_2006\n"), std::string::npos);
  ToolOptions privateTemp;
  privateTemp.environment = {"TMPDIR=" + dir.path()};
  const std::string builtin = Expect(0, {"demo", "--builtin"}, privateTemp);
  EXPECT_EQ(builtin.substr(builtin.find('\n')), walk.substr(walk.find('\n')));
  EXPECT_EQ(dir.EntryCount(), 1);  // the built-in copy was removed again
  EXPECT_EQ(Expect(2, {"demo", "--builtin", file}), "");
}

}  // namespace
}  // namespace tool_tests
