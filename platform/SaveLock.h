// SPDX-License-Identifier: MIT
// The exclusive lock a save holds from its look at the file to the file's
// replacement, so that savers (threads, processes, users) never lose each
// other's changes.
//
// A save locks (flock on POSIX, LockFileEx on Windows) two files, in this
// order, each checked after the lock is taken to be still the file at its
// name (else the lock is taken again, at most 100 times):
// - the lock file beside the target (SaveFileNames.h), opened or created
//   without following a link and without blocking, used only when it is a
//   regular file. It is made with the target's write permissions: its owner
//   may always use it, the group and others only when they may write the
//   target (read access confers no right to hold up writers). A lock file
//   this process made is given those bits exactly, whatever the umask: a
//   stricter one would lock out users who may write the target. After the
//   save it is removed while still locked; a saver that locked it meanwhile
//   sees that its name is gone and takes the lock anew.
// - the target itself, when it exists (read access, else write access), so
//   that saves in place, which cannot make a lock file, exclude and are
//   excluded by saves that can: a save by rename replaces the target, and a
//   saver waiting for the old one sees that it is no longer the target.
// A lock file that exists but cannot be opened (another user's) or is no
// regular file fails the save with that reason. Only where the directory
// takes no new file at all does a save go on without a lock file, holding the
// target's lock alone; it must then rewrite the target in place.
#ifndef DEZOV20_PLATFORM_SAVELOCK_H
#define DEZOV20_PLATFORM_SAVELOCK_H

#include <string>

#include "FileSystem.h"
#include "Status.h"

namespace dezov {
namespace platform {

class SaveLock {
 public:
  SaveLock() = default;
  SaveLock(const SaveLock&) = delete;
  SaveLock& operator=(const SaveLock&) = delete;
  // Releases the locks; a lock file not removed by Release() stays.
  ~SaveLock() = default;

  // Takes the save lock of target (its links already followed), waiting at
  // most timeoutMs in all (then Status::Locked). A new lock file gets lockMode
  // (less the umask unless exactMode).
  Status Take(const std::string& target, unsigned lockMode, bool exactMode, int timeoutMs);

  // No lock file could be made: the save holds the target's lock alone and
  // must rewrite the target in place.
  bool inPlaceOnly() const { return inPlaceOnly_; }

  // Removes the lock file (while still holding it), then releases both locks.
  // A lock file this user may not remove (another user's, in a sticky
  // directory) stays, as it does not affect the lock.
  Status Release();

 private:
  std::string target_;
  std::string lockPath_;
  OpenFile lockFile_;
  OpenFile targetLock_;
  bool inPlaceOnly_ = false;
};

// The permission bits of the lock file for a target with permission bits
// mode: read and write for the owner, for the group and for others only when
// mode lets them write.
unsigned LockFileMode(unsigned mode);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_SAVELOCK_H
