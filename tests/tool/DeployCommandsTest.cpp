#include "tool/ToolFixture.h"

namespace tool_tests {
namespace {

class DeployToolTest : public ToolTest {
 protected:
  void SetUp() override { file = Copy("deploy.xml"); }
  std::string Ask(int status, std::vector<std::string> args) {
    args.insert(args.begin(), {"deploy", file});
    return Expect(status, args);
  }
  std::string file;
};

TEST_F(DeployToolTest, AnswersTheResolversQuestions) {
  EXPECT_EQ(Ask(0, {"domain", "YYB", "0102"}), "TA_SH1:TA_SH2:TA_SZ1:HA_2005:HA_2006\n");
  EXPECT_EQ(Ask(0, {"domain", "YYB", "0102", "--first"}), "TA_SH1\n");
  EXPECT_EQ(Ask(0, {"domain", "RQ", "20051201", "20060131"}), "2005\n");
  EXPECT_EQ(Ask(0, {"next", "RQ", "20051201", "20060131", "2005"}), "2006\n");
  EXPECT_EQ(Ask(0, {"trade", "0101", "1"}), "TA_SH1,TA_SH2,\nTA_SH1\n");
  EXPECT_EQ(Ask(0, {"next-query", "0101", "1", "TA_SH1"}), "TA_SH2\n");
  EXPECT_EQ(Ask(0, {"history", "0101", "20060315", "20060315"}), "HA_2006\n");
  EXPECT_EQ(Ask(0, {"history", "0201", "20050301", "20071231", "2005"}), "HB_2007\n");

  EXPECT_EQ(Ask(1, {"domain", "XYZ", "1"}), "");
  EXPECT_EQ(Ask(1, {"next", "RQ", "20050301", "20050301", "2005"}), "");
  EXPECT_EQ(Ask(1, {"trade", "0999", "1"}), "");
  EXPECT_EQ(Ask(1, {"next-query", "0101", "1", "TA_SH2"}), "");
  EXPECT_EQ(Ask(1, {"history", "0101", "20070101", "20070101"}), "");
}

TEST_F(DeployToolTest, ShowListsEveryDomainAndTheScheme) {
  const std::string table = Ask(0, {"show"});
  EXPECT_EQ(table.substr(0, table.find('\n')), "NAME  KIND     DOMAIN                                SERVES");
  EXPECT_NE(table.find("\nRQ    1 range  2007                                  "
                       "20070101..20071231\n"),
            std::string::npos);
  EXPECT_NE(table.find("\nscheme 3: "), std::string::npos);
  const std::string empty = dir.File("empty.xml");
  testing_support::WriteBytes(empty, "<vornini/>");
  EXPECT_EQ(Expect(1, {"deploy", empty, "show"}), "");
}

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
  EXPECT_EQ(Expect(0, {"deploy", file, "check"}), file + ": no findings\n");
  EXPECT_EQ(Expect(2, {"deploy", dir.File("none.xml"), "check"}), "");
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
