#include "support/TestFiles.h"
#include "tool/ToolFixture.h"

namespace tool_tests {
namespace {

using testing_support::ReadBytes;

class XmlToolTest : public ToolTest {
 protected:
  void SetUp() override { file = Copy("stations.xml"); }
  std::string file;
};

TEST_F(XmlToolTest, ValuesTravelAsUtf8OnTheCommandLineAndGbkInTheFile) {
  EXPECT_EQ(Expect(0, {"xml", file, "get", "SERVER", "Title"}), "交易网关\n");
  EXPECT_EQ(Expect(0, {"xml", file, "set", "SERVER", "Title", "备用网关"}), "");
  EXPECT_NE(ReadBytes(file).find(Gbk("备用网关")), std::string::npos);
  EXPECT_EQ(Expect(0, {"xml", file, "get", "server", "TITLE"}), "备用网关\n");

  EXPECT_EQ(Expect(0, {"xml", file, "set", "新节", "键", "值"}), "");
  EXPECT_EQ(Expect(0, {"xml", file, "get", "新节", "键"}), "值\n");
  EXPECT_EQ(Expect(0, {"xml", file, "set", "SERVER", "Port", "-5"}), "");
  EXPECT_EQ(Expect(0, {"xml", file, "get", "SERVER", "Port"}), "-5\n");
}

TEST_F(XmlToolTest, AbsentThingsExitOneAndChangeNothing) {
  const std::string before = ReadBytes(file);
  EXPECT_EQ(Expect(1, {"xml", file, "get", "SERVER", "Nope"}), "");
  EXPECT_EQ(Expect(1, {"xml", file, "get", "SERVER", "Host", "1"}), "");
  EXPECT_EQ(Expect(1, {"xml", file, "get", "STATIONS", "Station"}), "");  // no Value attribute
  EXPECT_EQ(Expect(1, {"xml", file, "attr", "STATIONS\\Station", "nope"}), "");
  EXPECT_EQ(Expect(1, {"xml", file, "keys", "NOPE"}), "");
  EXPECT_EQ(Expect(1, {"xml", file, "rm-section", "NOPE"}), "");
  EXPECT_EQ(Expect(1, {"xml", file, "rm-key", "SERVER", "Nope"}), "");
  EXPECT_EQ(Expect(1, {"xml", file, "records", "STATIONS", "Nope", "id"}), "");
  // Only index 0 creates: a second Host is a failure, not an absence.
  EXPECT_EQ(Expect(2, {"xml", file, "set", "SERVER", "Host", "x", "1"}), "");
  EXPECT_EQ(ReadBytes(file), before);
}

TEST_F(XmlToolTest, ListsSectionsKeysAndTheWholeTree) {
  const std::string deploy = Copy("deploy.xml");
  EXPECT_EQ(Expect(0, {"xml", deploy, "sections"}), "DEPLOY\nYYB\nJYS\nRQ\n");
  EXPECT_EQ(Expect(0, {"xml", deploy, "keys", "rq"}), "DOMAIN1\nDOMAIN2\nDOMAIN3\n");
  EXPECT_EQ(Expect(0, {"xml", file, "show"}),
            "SERVER\n  Host = 10.0.0.5\n  Port = 7708\n  Title = 交易网关\n"
            "STATIONS\n  Station\n  Station\n  Station\n");
}

TEST_F(XmlToolTest, AttributesAndRecords) {
  EXPECT_EQ(Expect(0, {"xml", file, "attr", "STATIONS\\Station", "NAME", "2"}), "北京备用\n");
  EXPECT_EQ(Expect(0, {"xml", file, "set-attr", "STATIONS\\Station", "name", "南京", "1"}), "");
  EXPECT_EQ(Expect(0, {"xml", file, "set-attr", "NEW\\Leaf", "id", "7"}), "");
  EXPECT_EQ(Expect(0, {"xml", file, "attr", "new\\leaf", "id"}), "7\n");
  EXPECT_EQ(Expect(2, {"xml", file, "set-attr", "NEW\\Leaf", "id", "8", "1"}), "");
  EXPECT_EQ(Expect(0, {"xml", file, "records", "STATIONS", "station", "id", "name", "port"}),
            "#  id  name      port\n"
            "0  1   上海一号  7708\n"
            "1  2   南京      7708\n"
            "2  3   北京备用  7709\n");
}

TEST_F(XmlToolTest, RemovalsAreWritten) {
  EXPECT_EQ(Expect(0, {"xml", file, "rm-key", "SERVER", "port"}), "");
  EXPECT_EQ(Expect(0, {"xml", file, "keys", "SERVER"}), "Host\nTitle\n");
  EXPECT_EQ(Expect(0, {"xml", file, "rm-section", "stations"}), "");
  EXPECT_EQ(Expect(0, {"xml", file, "sections"}), "SERVER\n");
}

TEST_F(XmlToolTest, NamesTheStoreRefusesFailWithoutTouchingTheFile) {
  const std::string before = ReadBytes(file);
  EXPECT_EQ(Expect(2, {"xml", file, "set", "bad name", "K", "v"}), "");
  EXPECT_EQ(Expect(2, {"xml", file, "set-attr", "SERVER\\Host", "x y", "v"}), "");
  EXPECT_EQ(Expect(2, {"xml", file, "rm-key", "SERVER", ""}), "");  // would remove the section
  EXPECT_EQ(ReadBytes(file), before);
}

}  // namespace
}  // namespace tool_tests
