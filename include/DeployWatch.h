// SPDX-License-Identifier: MIT
// DeployWatch: a deployment description that follows its file. The watcher
// loads the file as CKdDeploy::InitDeloy does, hands out the loaded resolver
// as an immutable snapshot, and reloads it on a background thread whenever the
// file changes (rewritten in place, replaced by rename, removed and created
// again), usually within a few tens of milliseconds and always within a
// second. A file that cannot be read or holds no deployment leaves the last
// good snapshot in place; the watcher says why.
//
// Any number of threads may call Current() and look up in the snapshots they
// hold (the const lookups of CKdDeploy) while reloads happen.
#ifndef DEZOV20_DEPLOY_WATCH_H
#define DEZOV20_DEPLOY_WATCH_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "DeZov20Export.h"
#include "KdDeploy.h"

namespace dezov {

class DEZOV20_API DeployWatch {
 public:
  // What one reload came to, as passed to the callback.
  struct Reload {
    std::uint64_t generation = 0;  // the generation now current (unchanged on failure)
    std::string error;             // empty when a new snapshot was published
  };
  // Called on the watcher's thread after each reload; must not destroy the watcher.
  using Callback = std::function<void(const Reload& reload)>;

  // Loads fileName now (no callback for this first load) and starts watching it.
  explicit DeployWatch(const std::string& fileName, Callback callback = Callback());
  DeployWatch(const DeployWatch&) = delete;
  DeployWatch& operator=(const DeployWatch&) = delete;
  // Stops watching and joins the thread (promptly, also during a wait).
  ~DeployWatch();

  // The newest good description; null while none has loaded. Never blocks on a reload.
  std::shared_ptr<const CKdDeploy> Current() const;
  // How many descriptions were published: 0 until the first good load, then 1, 2, ...
  std::uint64_t Generation() const;
  // Why the last load failed; empty when it succeeded.
  std::string LastError() const;
  // Empty while the system reports the file's changes; otherwise why not
  // (it refused a notification or a watch of the folder): changes are then
  // found by the half-second check alone.
  std::string PollReason() const;
  // The file watched, as given.
  const std::string& FileName() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Loads the description in the XML file fileName into resolver, replacing what
// it held; false with the reason in error when the file cannot be read, is no
// XML store, or holds no deployment (resolver then unchanged). Only reads:
// a missing file is a reason, never made.
DEZOV20_API bool LoadDeployment(const std::string& fileName, CKdDeploy& resolver,
                                std::string& error);

}  // namespace dezov

#endif  // DEZOV20_DEPLOY_WATCH_H
