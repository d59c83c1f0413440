// SPDX-License-Identifier: MIT
// Runs a sequence of operations on real stores and files and on the
// reference model side by side, and compares them after every step: every
// store's content as its readers and public members show it, and every file
// as read afresh. The first divergence ends the run.
#ifndef DEZOV20_TESTS_MODEL_STORE_MODEL_H
#define DEZOV20_TESTS_MODEL_STORE_MODEL_H

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "ModelOps.h"

namespace store_model {

struct RunOptions {
  // Other programs run as forked processes (killed saves and saves at the
  // same time included); otherwise in this process, one after the other,
  // and a killed save either completes (even arg) or never starts.
  bool processes = true;
  // Leaves out the steps that meet the faults the regression table keeps, so
  // that a search looks past them while they are open: INI values with "//"
  // after their first character, XML changes by position, INI opens whose
  // save first must fail, and INI lists reordered directly.
  bool avoidKnownFaults = false;
};

struct RunResult {
  bool ok = true;
  std::size_t step = 0;  // index of the operation after which the run diverged
  std::string what;      // "category: details"
  // How often the run met each situation worth seeing covered (merges,
  // refused saves, killed saves that did or did not replace the file...).
  std::map<std::string, int> events;
};

RunResult RunSequence(StoreKind kind, const std::vector<Op>& ops, const RunOptions& options = {});

// The category of a failure: its text before the first ':'.
std::string Category(const std::string& what);

}  // namespace store_model

#endif  // DEZOV20_TESTS_MODEL_STORE_MODEL_H
