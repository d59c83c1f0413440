#include <signal.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "platform/FileLock.h"
#include "tool/ToolFixture.h"

namespace tool_tests {
namespace {

using testing_support::ReadBytes;
using testing_support::WriteBytes;

class WatchPutTest : public ToolTest {
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

TEST_F(WatchPutTest, PutReplacesTheFileOnlyWithContentThatPassesTheCheck) {
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

TEST_F(WatchPutTest, PutWaitsForASaveInProgress) {
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

TEST_F(WatchPutTest, WatchAnswersAgainWhenTheAnswerChangesAndEndsCleanlyOnSignals) {
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
