// SPDX-License-Identifier: MIT
// Both stores driven by seeded random sequences of operations (sets,
// removals, saves, re-opens, copies, other programs' edits through stores and
// through raw bytes, saves killed part way, saves of several processes at
// once, files taken away) and checked against the reference model after every
// step. A failing sequence is shrunk (chunks, then single operations, then
// simpler values) while it still fails the same way, and printed as C++ to
// paste into the table of RegressionCases.cpp with the seed that found it.
//
// A plain run tries a fixed number of sequences from a fixed seed and stops at
// the first failure of each store. Environment: DEZOV20_MODEL_SEED sets the
// first seed; DEZOV20_MODEL_SECONDS=N tries sequences from fresh seeds for N
// seconds per store instead and reports every kind of failure it meets;
// DEZOV20_MODEL_AVOID_KNOWN=1 leaves out the steps that meet the faults of
// the regression table, so that a search looks past them while they are open.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "model/ModelOps.h"
#include "model/StoreModel.h"

namespace {

using namespace store_model;

// Sequences per store in a plain run, and one in how many runs other
// programs as processes of their own (a fork costs milliseconds, the rest of a
// sequence about one; in the rest they run in this process, one after the
// other). Under the sanitizers every step costs several times as much and a
// fork ten times: fewer sequences, fewer forks.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define DEZOV20_MODEL_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(DEZOV20_MODEL_SANITIZED)
constexpr int kSequences = 400;
constexpr std::uint64_t kProcessesEvery = 16;
#else
constexpr int kSequences = 1000;
constexpr std::uint64_t kProcessesEvery = 4;
#endif
constexpr unsigned kMinOps = 8;
constexpr unsigned kMaxOps = 36;
// Runs a shrink may spend.
constexpr int kShrinkRuns = 600;

RunOptions Options(std::uint64_t seed) {
  RunOptions options;
  options.processes = seed % kProcessesEvery == 0;
  options.avoidKnownFaults = std::getenv("DEZOV20_MODEL_AVOID_KNOWN") != nullptr;
  return options;
}

bool FailsAlike(StoreKind kind, const std::vector<Op>& ops, const RunOptions& options,
                const std::string& category, int& budget) {
  if (budget <= 0) return false;
  --budget;
  const RunResult result = RunSequence(kind, ops, options);
  return !result.ok && Category(result.what) == category;
}

// The smallest sequence found that still fails with category.
std::vector<Op> Shrink(StoreKind kind, std::vector<Op> ops, const RunOptions& options,
                       const std::string& category) {
  int budget = kShrinkRuns;
  // Chunks first, halving their size; then single operations.
  for (std::size_t chunk = ops.size() / 2; chunk >= 1; chunk /= 2) {
    bool removed = true;
    while (removed && ops.size() > 1) {
      removed = false;
      for (std::size_t at = 0; at + chunk <= ops.size(); at += chunk) {
        std::vector<Op> candidate = ops;
        candidate.erase(candidate.begin() + static_cast<long>(at), candidate.begin() + static_cast<long>(at + chunk));
        if (FailsAlike(kind, candidate, options, category, budget)) {
          ops = candidate;
          removed = true;
          break;
        }
      }
    }
    if (chunk == 1) break;
  }
  // Simpler operations: shorter values, index 0, no extra bits.
  for (std::size_t i = 0; i < ops.size(); ++i) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      std::vector<Op> candidate = ops;
      Op& op = candidate[i];
      if (attempt == 0 && !op.value.empty()) op.value = op.value.substr(0, op.value.size() / 2);
      else if (attempt == 1 && op.index != 0) op.index = 0;
      else if (attempt == 2 && (op.arg & ~7u) != 0 && op.kind == OpKind::kRawEdit) op.arg &= 7u;
      else continue;
      if (FailsAlike(kind, candidate, options, category, budget)) {
        ops = candidate;
        --attempt;  // the same simplification may apply again
      }
    }
  }
  return ops;
}

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtoull(text, nullptr, 0) : fallback;
}

void Explore(StoreKind kind) {
  const char* kindName = kind == StoreKind::kIni ? "ini" : "xml";
  const std::uint64_t seconds = EnvNumber("DEZOV20_MODEL_SECONDS", 0);
  std::uint64_t seed = EnvNumber("DEZOV20_MODEL_SEED", 20240611);
  if (seconds > 0 && std::getenv("DEZOV20_MODEL_SEED") == nullptr) seed = std::random_device()();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  std::map<std::string, int> found;  // categories met, with how often
  std::map<std::string, int> events;
  int runs = 0;
  for (;; ++seed, ++runs) {
    if (seconds == 0 ? runs >= kSequences : std::chrono::steady_clock::now() >= end) break;
    std::mt19937_64 rng(seed);
    const std::size_t count = kMinOps + rng() % (kMaxOps - kMinOps + 1);
    std::vector<Op> ops = RandomOps(kind, rng, count);
    const RunOptions options = Options(seed);
    const RunResult result = RunSequence(kind, ops, options);
    for (const auto& event : result.events) events[event.first] += event.second;
    if (result.ok) continue;
    const std::string category = Category(result.what);
    if (found[category]++ > 0) continue;  // shrunk once already
    ops.resize(result.step + 1);
    const std::vector<Op> shrunk = Shrink(kind, ops, options, category);
    const RunResult again = RunSequence(kind, shrunk, options);
    ADD_FAILURE() << kindName << " store diverges from the model (seed " << seed << ", step "
                  << result.step << (options.processes ? ", other programs in processes" : "")
                  << "):\n  " << result.what << "\nShrunk to " << shrunk.size()
                  << " operations, which give:\n  " << again.what
                  << "\nAs a regression case for tests/model/RegressionCases.cpp:\n"
                  << CaseAsCpp(category + " (seed " + std::to_string(seed) + ")", kind, shrunk);
    if (seconds == 0) return;
  }
  std::cout << kindName << ": " << runs << " sequences";
  for (const auto& entry : found) std::cout << ", " << entry.second << " x " << entry.first;
  std::cout << "\n  covered:";
  for (const auto& entry : events) std::cout << " " << entry.first << " " << entry.second << ";";
  std::cout << "\n";
}

TEST(StoreModel, IniStoreAgreesWithTheModel) { Explore(StoreKind::kIni); }

TEST(StoreModel, XmlStoreAgreesWithTheModel) { Explore(StoreKind::kXml); }

}  // namespace
