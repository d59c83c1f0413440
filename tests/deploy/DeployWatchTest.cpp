#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "DeployWatch.h"
#include "support/TestFiles.h"

namespace {

using Clock = std::chrono::steady_clock;
using testing_support::WriteBytes;

// A description whose every answer names version: the trade domain TA_<v>
// and, for any date of 2008, the history domain HA_<v>. padding changes the
// file's size without changing the answers.
std::string Description(int version, const std::string& padding = "") {
  const std::string v = std::to_string(version);
  return "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<vornini>" + padding +
         "<DEPLOY><DEPLOY1 Value=\"YYB,0\"/><DEPLOY2 Value=\"RQ,1\"/></DEPLOY>"
         "<YYB><DOMAIN1 Value=\"TA_" + v + ":HA_" + v + ",0101\"/></YYB>"
         "<RQ><DOMAIN1 Value=\"HA_" + v + ",20080101:20081231\"/></RQ></vornini>\n";
}

std::string Trade(const dezov::DeployWatch& watch) {
  const auto snapshot = watch.Current();
  if (!snapshot) return "(none)";
  std::string yyb = "0101", jys = "1";
  return snapshot->GetTradeDomain(yyb, jys);
}

// Waits (at most limitMs) until the watcher reaches generation; true if it did.
bool AwaitGeneration(const dezov::DeployWatch& watch, std::uint64_t generation, int limitMs) {
  const auto giveUp = Clock::now() + std::chrono::milliseconds(limitMs);
  while (watch.Generation() < generation) {
    if (Clock::now() > giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Replaces path the way editors and sync jobs do: a new file renamed over it.
void ReplaceByRename(const std::string& path, const std::string& bytes) {
  WriteBytes(path + ".new", bytes);
  std::filesystem::rename(path + ".new", path);
}

class DeployWatchTest : public ::testing::Test {
 protected:
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

  std::atomic<int> failures{0};
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
    const auto giveUp = Clock::now() + std::chrono::seconds(1);
    while (watch.LastError().find(c.reason) == std::string::npos && Clock::now() < giveUp)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_NE(watch.LastError().find(c.reason), std::string::npos) << c.what << ": "
                                                                   << watch.LastError();
    EXPECT_EQ(Trade(watch), "TA_1") << c.what;
    EXPECT_EQ(watch.Generation(), 1u) << c.what;
  }
  std::filesystem::remove(file);
  const auto giveUp = Clock::now() + std::chrono::seconds(1);
  while (watch.LastError().find("no such file") == std::string::npos && Clock::now() < giveUp)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_NE(watch.LastError().find("no such file"), std::string::npos);
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

// Eight readers look up through snapshots while the file is rewritten 100
// times, in place (in two writes, so that readers can meet a half file) and
// by rename. Each snapshot must answer from one complete description: the
// trade and the history answers name the same version.
TEST_F(DeployWatchTest, ReadersSeeOnlyWholeDescriptionsWhileTheFileChanges) {
  WriteBytes(file, Description(0));
  dezov::DeployWatch watch(file);
  std::atomic<bool> done{false};
  std::atomic<long> lookups{0};
  std::atomic<int> mixed{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 8; ++r) {
    readers.emplace_back([&] {
      while (!done.load()) {
        const auto snapshot = watch.Current();
        std::string yyb = "0101", jys = "1";
        const std::string trade = snapshot->GetTradeDomain(yyb, jys);
        const std::string history = snapshot->GetHistoryDomain("0101", "20080315", "20080315", "");
        if (trade.size() < 4 || history != "HA_" + trade.substr(3)) ++mixed;
        ++lookups;
        std::this_thread::yield();  // leave the writer and the watcher some of the two cores
      }
    });
  }
  for (int version = 1; version <= 100; ++version) {
    const std::string bytes = Description(version, std::string(version % 7, ' '));
    if (version % 2 == 0) {
      ReplaceByRename(file, bytes);
    } else {
      WriteBytes(file, bytes.substr(0, bytes.size() / 2));
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
      WriteBytes(file, bytes);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(version % 2 == 0 ? 30 : 4));
  }
  EXPECT_TRUE(AwaitGeneration(watch, 2, 1000));
  const auto giveUp = Clock::now() + std::chrono::seconds(2);
  while (Trade(watch) != "TA_100" && Clock::now() < giveUp)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  done = true;
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(Trade(watch), "TA_100");
  EXPECT_EQ(mixed.load(), 0);
  EXPECT_GT(lookups.load(), 0);
}

}  // namespace
