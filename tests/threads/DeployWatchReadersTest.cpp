// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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

// Eight readers look up through snapshots while the file is rewritten 100
// times, in place (in two writes, so that readers can meet a half file) and
// by rename. Each snapshot must answer from one complete description: the
// trade and the history answers name the same version.
TEST(DeployWatchThreadsTest, ReadersSeeOnlyWholeDescriptionsWhileTheFileChanges) {
  testing_support::TempDir dir;
  const std::string file = dir.File("deploy.xml");
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
