// SPDX-License-Identifier: MIT
// The sync agent: keeps files equal to etcd keys. It reads every key at one
// revision, applies the values, then watches from the next revision on; on a
// broken connection it moves to another member and resumes after the last
// applied revision, and when that revision was compacted away it reads
// everything afresh. Each value passes the configuration check before it
// replaces its file; a refused one leaves the file as it was.
#ifndef DEZOV_SYNC_SYNC_AGENT_H
#define DEZOV_SYNC_SYNC_AGENT_H

#include <functional>
#include <string>

#include "EtcdClient.h"
#include "SyncState.h"
#include "SyncTarget.h"

namespace dezov {
namespace sync {

struct SyncSettings {
  SyncTarget target = SyncTarget::OneKey("", "");
  EtcdOptions etcd;
  bool once = false;            // read and apply once, then end
  bool removeDeleted = false;   // a deleted key removes its file
  std::string exec;             // run by /bin/sh -c after a file changed; "" for none
  std::string statusFile;       // "" for none
  int mode = -1;                // permission bits of written files; -1 keeps/defaults
  long owner = -1;              // uid of written files; -1 keeps
  long group = -1;              // gid likewise
};

class SyncAgent {
 public:
  // Reports go to stderr; shown converts the library's GBK reasons for the
  // terminal. wakeFd becoming readable ends the agent (a signal's self-pipe).
  SyncAgent(const SyncSettings& settings, int wakeFd,
            std::function<std::string(const std::string&)> shown);

  // Runs until done (once) or woken: 0 done or stopped; 1 with once when a
  // value was refused or could not be applied, or the one key is missing;
  // 2 for a status file that cannot be read, or credentials the cluster
  // refuses, or, with once, no member that answers.
  int Run();

 private:
  bool LoadStatus();
  void SaveStatus();
  EtcdResult ReadAll(std::string& reason);
  EtcdResult Follow(bool& readAgain, std::string& reason);
  void Apply(const std::vector<FileAction>& actions);
  Outcome Perform(const FileAction& action);
  bool AlreadyInPlace(const std::string& file, const std::string& bytes) const;
  void RunExec(const std::string& file, const FileAction& action);
  bool Pause(int ms);  // false when woken
  void Log(const std::string& line) const;

  SyncSettings settings_;
  int wakeFd_;
  std::function<std::string(const std::string&)> shown_;
  EtcdClient client_;
  SyncState state_;
  std::int64_t savedRevision_ = -1;
  bool dirty_ = false;       // records changed since the status was saved
  int unsuccessful_ = 0;     // refused or failed actions (for once)
  int backoffMs_ = 0;         // the last pause before reconnecting
  int retryMs_ = 1000;        // the pause before failed writes are tried again
};

}  // namespace sync
}  // namespace dezov

#endif  // DEZOV_SYNC_SYNC_AGENT_H
