// SPDX-License-Identifier: MIT
// Descriptions for the watcher tests whose every answer names a version, and
// waiting for the watcher with a bound.
#ifndef DEZOV20_TESTS_DEPLOY_DEPLOY_WATCH_FIXTURE_H
#define DEZOV20_TESTS_DEPLOY_DEPLOY_WATCH_FIXTURE_H

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "DeployWatch.h"
#include "support/TestFiles.h"

namespace deploy_watch_test {

// A description whose every answer names version: the trade domain TA_<v>
// and, for any date of 2008, the history domain HA_<v>. padding changes the
// file's size without changing the answers.
inline std::string Description(int version, const std::string& padding = "") {
  const std::string v = std::to_string(version);
  return "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<vornini>" + padding +
         "<DEPLOY><DEPLOY1 Value=\"YYB,0\"/><DEPLOY2 Value=\"RQ,1\"/></DEPLOY>"
         "<YYB><DOMAIN1 Value=\"TA_" + v + ":HA_" + v + ",0101\"/></YYB>"
         "<RQ><DOMAIN1 Value=\"HA_" + v + ",20080101:20081231\"/></RQ></vornini>\n";
}

inline std::string Trade(const dezov::DeployWatch& watch) {
  const auto snapshot = watch.Current();
  if (!snapshot) return "(none)";
  std::string yyb = "0101", jys = "1";
  return snapshot->GetTradeDomain(yyb, jys);
}

// Waits (at most limitMs) until the watcher reaches generation; true if it did.
inline bool AwaitGeneration(const dezov::DeployWatch& watch, std::uint64_t generation,
                            int limitMs) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (watch.Generation() < generation) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

using testing_support::ReplaceByRename;

}  // namespace deploy_watch_test

#endif  // DEZOV20_TESTS_DEPLOY_DEPLOY_WATCH_FIXTURE_H
