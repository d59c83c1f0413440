// SPDX-License-Identifier: MIT
// The sync agent's decisions against a reference model: random histories of
// puts (accepted and refused values) and deletes, delivered as the agent meets
// them — reads at one revision (also from members that lag behind), watch
// messages cut at random, disconnects, compactions, progress reports, old
// events again, writes that fail and are retried (also past a refused newer
// value), restarts from the status file's text. No file may ever go back to an older revision, and at every
// quiet point each file must be what the reference says.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "SyncState.h"
#include "SyncStatus.h"

namespace {

using dezov::sync::FileAction;
using dezov::sync::KeyEvent;
using dezov::sync::Outcome;
using dezov::sync::SyncState;
using dezov::sync::SyncStatus;

// One revision of the history: a put of value, or a delete, of key.
struct Op {
  std::string key;
  std::string value;  // "bad..." values are refused by the file check
  bool deleted = false;
};

struct File {
  std::string value;
  std::int64_t revision = 0;
};

class Model {
 public:
  Model(unsigned seed, bool removeDeleted)
      : random_(seed), removeDeleted_(removeDeleted), state_(removeDeleted) {}

  void Run(int revisions) {
    while (head() < revisions || needRead_ || applied() < head()) {
      if (head() < revisions) Grow();
      Step();
      if (::testing::Test::HasFatalFailure()) return;
    }
    Quiesce();
  }

 private:
  std::int64_t head() const { return static_cast<std::int64_t>(history_.size()); }
  std::int64_t applied() const { return state_.applied(); }
  int Chance(int percent) { return static_cast<int>(random_() % 100) < percent; }

  void Grow() {
    for (int n = static_cast<int>(random_() % 4); n > 0; --n) {
      Op op;
      op.key = std::string("/p/") + "abc"[random_() % 3];
      const unsigned kind = random_() % 10;
      op.deleted = kind < 2;
      if (!op.deleted) op.value = (kind < 4 ? "bad" : "v") + std::to_string(head() + 1);
      history_.push_back(op);
    }
    if (Chance(10)) compacted_ = std::max<std::int64_t>(compacted_, random_() % (head() + 1));
  }

  // Every key's state at revision, as a read then reports it.
  std::vector<KeyEvent> StateAt(std::int64_t revision) const {
    std::map<std::string, KeyEvent> keys;
    for (std::int64_t r = 1; r <= revision; ++r) {
      const Op& op = history_[r - 1];
      if (op.deleted) keys.erase(op.key);
      else keys[op.key] = KeyEvent{op.key, op.value, r, false};
    }
    std::vector<KeyEvent> kvs;
    for (const auto& entry : keys) kvs.push_back(entry.second);
    return kvs;
  }

  KeyEvent EventAt(std::int64_t revision) const {
    const Op& op = history_[revision - 1];
    return KeyEvent{op.key, op.value, revision, op.deleted};
  }

  void Step() {
    const int choice = static_cast<int>(random_() % 100);
    if (choice < 5) return Restart();
    if (choice < 10) return Perform(state_.Retries());
    if (choice < 14) {  // events the agent has already seen, as a lagging member repeats them
      if (applied() > 0) Deliver({EventAt(1 + random_() % applied())}, false);
      return;
    }
    if (needRead_) return Read();
    if (choice < 20) return;  // a disconnect: the watch starts afresh next time
    if (applied() + 1 < compacted_) {
      needRead_ = true;
      return;
    }
    if (applied() == head()) {
      if (Chance(30)) state_.Progress(head());
      return;
    }
    // One watch message of one to three revisions.
    const std::int64_t last = std::min<std::int64_t>(head(), applied() + 1 + random_() % 3);
    std::vector<KeyEvent> events;
    for (std::int64_t r = applied() + 1; r <= last; ++r) events.push_back(EventAt(r));
    Deliver(events, true);
  }

  void Read() {
    // A member may answer at a revision behind the applied one: refused.
    std::int64_t revision = head() - static_cast<std::int64_t>(random_() % 3);
    if (revision < 0) revision = 0;
    std::vector<FileAction> actions;
    const std::int64_t before = applied();
    const bool taken = state_.Snapshot(revision, StateAt(revision), actions);
    ASSERT_EQ(taken, revision >= before) << "read at " << revision << ", applied " << before;
    if (!taken) {
      ASSERT_TRUE(actions.empty());
      return;
    }
    needRead_ = false;
    // The reference: each key as it stands at revision.
    std::map<std::string, bool> present;
    for (const KeyEvent& kv : StateAt(revision)) {
      present[kv.key] = true;
      if (kv.value.compare(0, 3, "bad") != 0) reference_[kv.key] = File{kv.value, kv.revision};
    }
    if (removeDeleted_)
      for (auto it = reference_.begin(); it != reference_.end();)
        it = present.count(it->first) ? std::next(it) : reference_.erase(it);
    Perform(actions);
    SaveStatus();
  }

  void Deliver(const std::vector<KeyEvent>& events, bool fresh) {
    const std::int64_t before = applied();
    const std::vector<FileAction> actions = state_.Events(events);
    if (!fresh) {
      ASSERT_TRUE(actions.empty()) << "an old event was acted on again";
      ASSERT_EQ(applied(), before);
      return;
    }
    ASSERT_EQ(applied(), events.back().revision);
    for (const KeyEvent& event : events) {
      if (event.deleted) {
        if (removeDeleted_) reference_.erase(event.key);
      } else if (event.value.compare(0, 3, "bad") != 0) {
        reference_[event.key] = File{event.value, event.revision};
      }
    }
    Perform(actions);
    SaveStatus();
  }

  // Does what the agent does with each action, failing some writes and removals.
  void Perform(const std::vector<FileAction>& actions) {
    for (const FileAction& action : actions) {
      const auto found = files_.find(action.key);
      if (found != files_.end()) {
        ASSERT_GE(action.revision, found->second.revision) << action.key << " would go back";
        if (action.revision == found->second.revision && action.kind == FileAction::kWrite) {
          ASSERT_EQ(action.value, found->second.value) << action.key;
        }
      }
      // As the agent does: the check first, then the write, which may fail.
      Outcome outcome = Outcome::kApplied;
      if (action.kind == FileAction::kWrite && action.value.compare(0, 3, "bad") == 0) {
        outcome = Outcome::kRefused;
      } else if (failures_ && Chance(15)) {
        outcome = Outcome::kFailed;
      } else if (action.kind == FileAction::kRemove) {
        files_.erase(action.key);
      } else {
        files_[action.key] = File{action.value, action.revision};
      }
      state_.Done(action, outcome);
    }
  }

  // A restart: a new state from the status file's text, which reads everything
  // afresh. Failed actions are not kept across restarts: none may be due.
  void Restart() {
    if (!state_.Retries().empty()) return;
    SyncStatus status;
    std::string reason;
    ASSERT_TRUE(dezov::sync::ParseStatus(savedStatus_, status, reason)) << reason;
    state_ = SyncState(removeDeleted_);
    state_.Restore(status.revision, status.records);
    needRead_ = true;
  }

  void SaveStatus() {
    SyncStatus status;
    status.revision = applied();
    status.records = state_.records();
    savedStatus_ = dezov::sync::FormatStatus(status);
  }

  // Retries without failures until none is left; the files must be the reference's.
  void Quiesce() {
    failures_ = false;
    for (int round = 0; round < 3 && !state_.Retries().empty(); ++round) Perform(state_.Retries());
    ASSERT_TRUE(state_.Retries().empty());
    ASSERT_EQ(files_.size(), reference_.size());
    for (const auto& entry : reference_) {
      const auto found = files_.find(entry.first);
      ASSERT_NE(found, files_.end()) << entry.first << " has no file";
      EXPECT_EQ(found->second.value, entry.second.value) << entry.first;
    }
  }

  std::mt19937 random_;
  bool removeDeleted_;
  SyncState state_;
  std::vector<Op> history_;
  std::int64_t compacted_ = 0;
  bool needRead_ = true;
  bool failures_ = true;
  std::string savedStatus_ = "revision 0\n";
  std::map<std::string, File> files_;      // what the agent's actions made of the files
  std::map<std::string, File> reference_;  // what they must be
};

TEST(SyncModelTest, RandomHistoriesEndWithTheReferenceFilesAndNeverGoBack) {
  for (unsigned seed = 1; seed <= 400; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Model(seed, seed % 2 == 0).Run(80);
    if (::testing::Test::HasFailure()) return;
  }
}

// The cases the model meets only by chance, spelled out.
TEST(SyncStateTest, DeletesRefusalsAndLaggingReads) {
  SyncState state(true);
  std::vector<FileAction> actions;
  ASSERT_TRUE(state.Snapshot(5, {{"/p/a", "v2", 2, false}, {"/p/b", "v5", 5, false}}, actions));
  ASSERT_EQ(actions.size(), 2u);
  for (const FileAction& action : actions) state.Done(action, Outcome::kApplied);

  // A refused value leaves the file's revision; the next good one applies.
  actions = state.Events({{"/p/a", "bad", 6, false}});
  ASSERT_EQ(actions.size(), 1u);
  state.Done(actions[0], Outcome::kRefused);
  EXPECT_EQ(state.records().at("/p/a").fileRevision, 2);
  actions = state.Events({{"/p/a", "v7", 7, false}});
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0].value, "v7");

  // A member behind the applied revision is not believed.
  EXPECT_FALSE(state.Snapshot(6, {}, actions));
  EXPECT_TRUE(actions.empty());
  EXPECT_EQ(state.applied(), 7);

  // A failed removal of a vanished key's file is tried again, also after a restart.
  ASSERT_TRUE(state.Snapshot(9, {{"/p/a", "v7", 7, false}}, actions));
  ASSERT_EQ(actions.size(), 2u);
  EXPECT_EQ(actions[1].kind, FileAction::kRemove);
  EXPECT_EQ(actions[1].key, "/p/b");
  state.Done(actions[0], Outcome::kApplied);
  state.Done(actions[1], Outcome::kFailed);
  ASSERT_EQ(state.Retries().size(), 1u);
  SyncState restarted(true);
  restarted.Restore(state.applied(), state.records());
  ASSERT_TRUE(restarted.Snapshot(9, {{"/p/a", "v7", 7, false}}, actions));
  ASSERT_EQ(actions.size(), 2u);
  EXPECT_EQ(actions[1].kind, FileAction::kRemove);

  // Without --delete a deleted key leaves its file alone.
  SyncState keeping(false);
  ASSERT_TRUE(keeping.Snapshot(3, {{"/k", "v3", 3, false}}, actions));
  keeping.Done(actions[0], Outcome::kApplied);
  EXPECT_TRUE(keeping.Events({{"/k", "", 4, true}}).empty());
  EXPECT_TRUE(keeping.Snapshot(5, {}, actions));
  EXPECT_TRUE(actions.empty());
  EXPECT_EQ(keeping.records().at("/k").fileRevision, 3);
}

}  // namespace
