// The commands' behaviour the sessions cannot state: text conversion and raw
// bytes, failed writes, check findings named by the path given, the demo's
// built-in copy, put's checks and its wait for a save in progress, and watch.
// Help is checked against the manual page (ManPageTest), misuses and missing
// files are in sessions/conventions.session.
#include <signal.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "platform/SaveProtocol.h"
#include "support/TestFiles.h"
#include "tool/ToolFixture.h"

namespace tool_tests {
namespace {

using namespace testing_support;

using ToolConventionsTest = ToolTest;
// GBK bytes of the names used: 张三, 李四.
const std::string kZhangSan = "\xD5\xC5\xC8\xFD", kLiSi = "\xC0\xEE\xCB\xC4";

// Only the value's bytes change (more of the conversion in sessions/encoding.session).
TEST_F(ToolConventionsTest, TextIsUtf8OnTheCommandLineAndGbkInTheFile) {
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
  const std::string file = dir.File("raw.ini");
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

class DeployToolTest : public ToolTest {
 protected:
  void SetUp() override { file = Copy("deploy.xml"); }
  // dezov put target < bytes
  ToolResult Put(const std::string& target, const std::string& bytes) {
    WriteBytes(dir.File("input"), bytes);
    ToolOptions options;
    options.inputFile = dir.File("input");
    return RunTool({"put", target}, options);
  }
  std::string Example() { return ReadBytes(testing_support::SourceFile("examples/deploy.xml")); }
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

TEST_F(DeployToolTest, PutReplacesTheFileOnlyWithContentThatPassesTheCheck) {
  const std::string changed = [&] {
    std::string text = Example();
    return text.replace(text.find("TA_SH1:"), 7, "TA_SH7:");
  }();
  ToolResult result = Put(file, changed);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(ReadBytes(file), changed);

  const struct {
    const char* what;
    std::string bytes;
    const char* reason;
  } refused[] = {
      {"empty", "", "standard input is empty"},
      {"cut short", changed.substr(0, changed.size() / 2), "no XML configuration file"},
      {"another root", "<config/>", "no XML configuration file"},
      {"no deployment", "<vornini><DEPLOY><DEPLOY1 Value=\"YYB\"/></DEPLOY></vornini>",
       "no deployment"},
      {"a check error", [&] {
         std::string text = changed;
         return text.replace(text.find("DEPLOY3"), 7, "DEPLOY4");  // a gap the resolver stops at
       }(),
       "deploy.xml:6: error: DEPLOY\\DEPLOY4: never read"},
  };
  for (const auto& c : refused) {
    result = Put(file, c.bytes);
    EXPECT_EQ(result.status, 2) << c.what;
    EXPECT_NE(result.err.find(c.reason), std::string::npos) << c.what << ": " << result.err;
    EXPECT_EQ(ReadBytes(file), changed) << c.what;
  }
  EXPECT_EQ(dir.EntryCount(), 2);  // deploy.xml and input: no temporary left

  // A store without deployments is still a configuration file; a new file is created.
  EXPECT_EQ(Put(dir.File("plain.xml"), "<vornini><A><B Value=\"1\"/></A></vornini>").status, 0);
  EXPECT_EQ(Put(dir.File("app.ini"), "[A]\r\nkey=value\r\n").status, 0);
  EXPECT_EQ(ReadBytes(dir.File("app.ini")), "[A]\r\nkey=value\r\n");
  result = Put(dir.File("app.ini"), std::string("[A]\0", 4));
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(ReadBytes(dir.File("app.ini")), "[A]\r\nkey=value\r\n");
}

TEST_F(DeployToolTest, PutWaitsForASaveInProgress) {
  std::string text = Example();
  const std::string mine = text.replace(text.find("SZ,2"), 4, "SZ,4");
  std::promise<void> locked;
  std::thread saver([&] {
    dezov::platform::FileStamp stamp, written;
    ASSERT_TRUE(dezov::platform::StampFile(file, stamp).ok());
    const dezov::Status saved = dezov::platform::SaveLocked(
        file, stamp,
        [&](const dezov::platform::DiskState&, std::string& out) {
          locked.set_value();
          std::this_thread::sleep_for(std::chrono::milliseconds(400));
          out = Example();
          return dezov::Status::Ok();
        },
        written);
    EXPECT_TRUE(saved.ok()) << saved.message();
  });
  locked.get_future().wait();
  const ToolResult result = Put(file, mine);  // starts while the save holds the lock
  saver.join();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(ReadBytes(file), mine);  // it replaced the file after that save, not before
}

TEST_F(DeployToolTest, WatchAnswersAgainWhenTheAnswerChangesAndEndsCleanlyOnSignals) {
  RunningTool watch({"deploy", file, "watch", "trade", "0101", "1"});
  std::string line;
  ASSERT_TRUE(watch.ReadLine(line, 2000)) << watch.Errors();
  EXPECT_EQ(line, "TA_SH1,TA_SH2, TA_SH1");

  std::string text = Example();
  // A change that leaves this answer alone prints nothing.
  text.replace(text.find("SZ,2"), 4, "SZ,3");
  ASSERT_EQ(Put(file, text).status, 0);
  text.replace(text.find("TA_SH1:"), 7, "TA_SH5:");
  ASSERT_EQ(Put(file, text).status, 0);
  ASSERT_TRUE(watch.ReadLine(line, 2000)) << watch.Errors();
  EXPECT_EQ(line, "TA_SH5,TA_SH2, TA_SH5");

  // A broken file is reported; the last good answer stands.
  WriteBytes(file, "<vornini><DEPLOY>");
  EXPECT_FALSE(watch.ReadLine(line, 600)) << line;
  EXPECT_NE(watch.Errors().find("reload failed, the last good answer stands"), std::string::npos)
      << watch.Errors();
  // A request nothing serves is an empty line.
  text.replace(text.find("0101;0102"), 9, "0201;0102");
  WriteBytes(file, text);
  ASSERT_TRUE(watch.ReadLine(line, 2000)) << watch.Errors();
  EXPECT_EQ(line, "");
  EXPECT_EQ(watch.Stop(SIGTERM), 0);

  RunningTool interrupted({"deploy", file, "watch", "history", "0102", "20060315", "20060315"});
  ASSERT_TRUE(interrupted.ReadLine(line, 2000)) << interrupted.Errors();
  EXPECT_EQ(line, "HA_2006");
  EXPECT_EQ(interrupted.Stop(SIGINT), 0);
}

}  // namespace
}  // namespace tool_tests
