// SPDX-License-Identifier: MIT
#include "SyncState.h"

#include <algorithm>
#include <set>

namespace dezov {
namespace sync {

SyncState::SyncState(bool removeDeleted) : removeDeleted_(removeDeleted) {}

void SyncState::Restore(std::int64_t applied, const std::map<std::string, KeyRecord>& records) {
  applied_ = applied;
  records_ = records;
  failed_.clear();
}

bool SyncState::Decide(const KeyEvent& event, FileAction& action) {
  KeyRecord& record = records_[event.key];
  record.revision = event.revision;
  record.exists = !event.deleted;
  if (event.deleted && !removeDeleted_) return false;
  action = FileAction();
  action.kind = event.deleted ? FileAction::kRemove : FileAction::kWrite;
  action.key = event.key;
  action.value = event.value;
  action.revision = event.revision;
  return true;
}

bool SyncState::Snapshot(std::int64_t revision, const std::vector<KeyEvent>& kvs,
                         std::vector<FileAction>& actions) {
  actions.clear();
  if (revision < applied_) return false;
  std::set<std::string> present;
  for (const KeyEvent& kv : kvs) {
    present.insert(kv.key);
    const auto found = records_.find(kv.key);
    // A read at or past applied_ never shows a key older than its record;
    // should one arrive all the same, the file keeps the newer value.
    if (kv.deleted || kv.revision > revision ||
        (found != records_.end() && kv.revision < found->second.revision))
      continue;
    FileAction action;
    if (Decide(kv, action)) actions.push_back(std::move(action));
  }
  // Keys that existed and are gone were deleted at some revision up to this
  // one; a deleted key whose file is still there (its removal failed) is
  // removed again.
  for (const auto& entry : records_) {
    const bool fileLeft = removeDeleted_ && entry.second.fileRevision > 0;
    if ((!entry.second.exists && !fileLeft) || present.count(entry.first) != 0) continue;
    KeyEvent gone;
    gone.key = entry.first;
    gone.revision = std::max(revision, entry.second.revision);
    gone.deleted = true;
    FileAction action;
    if (Decide(gone, action)) actions.push_back(std::move(action));
  }
  applied_ = revision;
  return true;
}

std::vector<FileAction> SyncState::Events(const std::vector<KeyEvent>& events) {
  std::vector<FileAction> actions;
  std::int64_t newest = applied_;
  for (const KeyEvent& event : events) {
    const auto found = records_.find(event.key);
    if (event.revision <= applied_ ||
        (found != records_.end() && event.revision <= found->second.revision))
      continue;
    newest = std::max(newest, event.revision);
    FileAction action;
    if (Decide(event, action)) actions.push_back(std::move(action));
  }
  applied_ = newest;
  return actions;
}

void SyncState::Progress(std::int64_t revision) { applied_ = std::max(applied_, revision); }

void SyncState::Done(const FileAction& action, Outcome outcome) {
  const auto found = records_.find(action.key);
  if (found == records_.end()) return;
  const auto failed = failed_.find(action.key);
  const bool newestTried = failed == failed_.end() || failed->second.revision <= action.revision;
  switch (outcome) {
    case Outcome::kApplied:
      // The file holds this revision now, and no older failed action is wanted any more.
      found->second.fileRevision = action.kind == FileAction::kWrite ? action.revision : 0;
      if (newestTried && failed != failed_.end()) failed_.erase(failed);
      break;
    case Outcome::kFailed:
      if (newestTried) failed_[action.key] = action;
      break;
    case Outcome::kRefused:
      // A failed older value stays due: it is still the newest one the file may
      // take. A failed one refused when tried again is dropped.
      if (failed != failed_.end() && failed->second.revision == action.revision) failed_.erase(failed);
      break;
  }
}

std::vector<FileAction> SyncState::Retries() const {
  std::vector<FileAction> actions;
  for (const auto& entry : failed_) actions.push_back(entry.second);
  return actions;
}

}  // namespace sync
}  // namespace dezov
