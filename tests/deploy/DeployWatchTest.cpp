#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DeployWatch.h"
#include "deploy/DeployWatchFixture.h"
#include "support/TestFiles.h"

namespace {

using Clock = std::chrono::steady_clock;
using deploy_watch_test::AwaitGeneration;
using deploy_watch_test::Description;
using deploy_watch_test::ReplaceByRename;
using deploy_watch_test::Trade;
using testing_support::WriteBytes;

class DeployWatchTest : public ::testing::Test {
 protected:
  // Waits (at most a second) until the watcher's last error names reason.
  static bool AwaitError(const dezov::DeployWatch& watch, const std::string& reason) {
    const auto giveUp = Clock::now() + std::chrono::seconds(1);
    while (watch.LastError().find(reason) == std::string::npos && Clock::now() < giveUp)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return watch.LastError().find(reason) != std::string::npos;
  }
  testing_support::TempDir dir;
  const std::string file = dir.File("deploy.xml");
};

TEST_F(DeployWatchTest, EveryKindOfChangeIsPublishedWithinASecond) {
  WriteBytes(file, Description(1));
  std::mutex mutex;
  std::vector<dezov::DeployWatch::Reload> reloads;
  dezov::DeployWatch watch(file, [&](const dezov::DeployWatch::Reload& reload) {
    std::lock_guard<std::mutex> lock(mutex);
    reloads.push_back(reload);
  });
  EXPECT_EQ(watch.Generation(), 1u);
  EXPECT_EQ(Trade(watch), "TA_1");
  const auto first = watch.Current();

  WriteBytes(file, Description(2));  // rewritten in place, same size
  ASSERT_TRUE(AwaitGeneration(watch, 2, 1000));
  EXPECT_EQ(Trade(watch), "TA_2");
  ReplaceByRename(file, Description(3, "<X/>"));
  ASSERT_TRUE(AwaitGeneration(watch, 3, 1000));
  EXPECT_EQ(Trade(watch), "TA_3");
  std::filesystem::remove(file);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  WriteBytes(file, Description(4));
  ASSERT_TRUE(AwaitGeneration(watch, 4, 1000));
  EXPECT_EQ(Trade(watch), "TA_4");

  // A snapshot taken earlier stays whole and keeps its answers.
  std::string yyb = "0101", jys = "1";
  EXPECT_EQ(first->GetTradeDomain(yyb, jys), "TA_1");
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_FALSE(reloads.empty());
  EXPECT_EQ(reloads.back().generation, 4u);
  EXPECT_EQ(reloads.back().error, "");
}

TEST_F(DeployWatchTest, BadFilesKeepTheLastGoodSnapshotAndSayWhy) {
  dezov::DeployWatch watch(file);  // nothing there yet: no snapshot, a reason, no file made
  EXPECT_EQ(watch.Current(), nullptr);
  EXPECT_NE(watch.LastError().find("no such file"), std::string::npos) << watch.LastError();
  EXPECT_FALSE(testing_support::Exists(file));
  WriteBytes(file, Description(1));
  ASSERT_TRUE(AwaitGeneration(watch, 1, 1000));
  EXPECT_EQ(watch.LastError(), "");

  const struct {
    const char* what;
    std::string bytes;
    const char* reason;
  } bad[] = {
      {"cut short", Description(9).substr(0, 120), "cannot load"},
      {"not XML", "DEPLOY1=YYB,0\n", "cannot load"},
      {"another root", "<config><DEPLOY><DEPLOY1 Value=\"YYB,0\"/></DEPLOY></config>", "cannot load"},
      {"no deployment", "<vornini><DEPLOY><DEPLOY1 Value=\"YYB\"/></DEPLOY></vornini>",
       "no deployment"},
  };
  for (const auto& c : bad) {
    ReplaceByRename(file, c.bytes);
    EXPECT_TRUE(AwaitError(watch, c.reason)) << c.what << ": " << watch.LastError();
    EXPECT_EQ(Trade(watch), "TA_1") << c.what;
    EXPECT_EQ(watch.Generation(), 1u) << c.what;
  }
  std::filesystem::remove(file);
  EXPECT_TRUE(AwaitError(watch, "no such file")) << watch.LastError();
  EXPECT_FALSE(testing_support::Exists(file));
  EXPECT_EQ(Trade(watch), "TA_1");

  WriteBytes(file, Description(2));
  ASSERT_TRUE(AwaitGeneration(watch, 2, 1000));
  EXPECT_EQ(Trade(watch), "TA_2");
  EXPECT_EQ(watch.LastError(), "");
}

TEST_F(DeployWatchTest, StopsPromptlyWhileWaitingOrWatchingAMissingFile) {
  WriteBytes(file, Description(1));
  for (const std::string& path : {file, dir.File("missing/deploy.xml")}) {
    auto watch = std::make_unique<dezov::DeployWatch>(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let the thread start waiting
    const auto start = Clock::now();
    watch.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100)) << path;
  }
}

}  // namespace
