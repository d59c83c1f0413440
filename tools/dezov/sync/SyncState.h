// SPDX-License-Identifier: MIT
// The sync agent's decisions, as pure logic: given what etcd reports (a read
// of every key at one revision, or the events of a watch), which files to
// write or remove, so that nothing is missed and no file ever goes back to an
// older revision. The agent performs each action and reports its outcome.
#ifndef DEZOV_SYNC_SYNC_STATE_H
#define DEZOV_SYNC_SYNC_STATE_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "KeyEvent.h"

namespace dezov {
namespace sync {

// What the agent knows of one key.
struct KeyRecord {
  std::int64_t revision = 0;      // newest revision decided for the key (written, refused, deleted)
  std::int64_t fileRevision = 0;  // revision whose bytes the agent put into the file; 0: none
  bool exists = false;            // the key existed at revision
};

// One thing to do to the key's file.
struct FileAction {
  enum Kind { kWrite, kRemove };
  Kind kind = kWrite;
  std::string key;
  std::string value;           // kWrite: the bytes the file is to hold
  std::int64_t revision = 0;   // the revision this action brings the file to
};

// How an action ended.
enum class Outcome {
  kApplied,  // the file holds the value (or is gone)
  kRefused,  // the value or the key's file name is not acceptable: the file stays as it was
  kFailed,   // writing or removing failed: the file stays as it was, the action is retried
};

class SyncState {
 public:
  // removeDeleted: a deleted key removes its file (else the file keeps its last value).
  explicit SyncState(bool removeDeleted);

  // Takes over what an earlier run recorded (its status file).
  void Restore(std::int64_t applied, const std::map<std::string, KeyRecord>& records);

  // A read of every key at revision: writes for keys whose revision is not
  // older than what the key's file has seen (equal ones again, which the agent
  // finds in place), and, for keys that vanished, removals when deleted keys
  // remove files. False and no action when revision is older than the
  // revision already applied (a member that lags behind).
  bool Snapshot(std::int64_t revision, const std::vector<KeyEvent>& kvs,
                std::vector<FileAction>& actions);

  // The events of one watch message, in order: an action for each event newer
  // than both the applied revision and the key's own; older ones are dropped.
  std::vector<FileAction> Events(const std::vector<KeyEvent>& events);

  // A progress report: everything up to revision has been seen.
  void Progress(std::int64_t revision);

  // The outcome of performing action (one handed out by this state, or a retry).
  void Done(const FileAction& action, Outcome outcome);

  // Failed actions to try again: for each key the newest one that failed,
  // until it or a newer one is applied (a refused newer value leaves it due).
  // Kept in memory only: after a restart the file follows the key's next value.
  std::vector<FileAction> Retries() const;

  // The newest revision whose events have all been decided; watching resumes after it.
  std::int64_t applied() const { return applied_; }
  const std::map<std::string, KeyRecord>& records() const { return records_; }

 private:
  // Records a newer state of the key and returns its action, or false when
  // nothing is to be done to the file.
  bool Decide(const KeyEvent& event, FileAction& action);

  bool removeDeleted_;
  std::int64_t applied_ = 0;
  std::map<std::string, KeyRecord> records_;
  std::map<std::string, FileAction> failed_;
};

}  // namespace sync
}  // namespace dezov

#endif  // DEZOV_SYNC_SYNC_STATE_H
