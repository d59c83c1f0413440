// SPDX-License-Identifier: MIT
// The save lock (see SaveLock.h), through the FileSystem seam.
#include "SaveLock.h"

#include <algorithm>

#include "Platform.h"
#include "SaveFileNames.h"

namespace dezov {
namespace platform {
namespace {

// How often a lock is taken again because its file left its name meanwhile.
constexpr int kMostRetakes = 100;

// The time a save may still wait for locks. The time waited is the sum of the
// pauses, so that a test's FileSystem whose Sleep returns at once reaches the
// limit without waiting.
class LockWait {
 public:
  explicit LockWait(int timeoutMs) : timeoutMs_(timeoutMs) {}
  // Waits before the next attempt; false when the time is up.
  bool Pause() {
    if (waited_ >= timeoutMs_) return false;
    const int pause = std::min(delayMs_, timeoutMs_ - waited_);
    FileSystem::Current().Sleep(pause);
    waited_ += pause;
    delayMs_ = std::min(delayMs_ * 2, 50);
    return true;
  }
  Status Expired(const std::string& target) const {
    return Status::Locked("the file '" + target +
                          "' is locked: another program is saving it (waited " +
                          std::to_string(timeoutMs_) + " ms)");
  }

 private:
  const int timeoutMs_;
  int waited_ = 0;
  int delayMs_ = 1;
};

// Locks file (opened from path), waiting while another open file holds the lock.
Status LockOpenFile(const OpenFile& file, const std::string& path, const std::string& target,
                    LockWait& wait) {
  for (;;) {
    const int error = FileSystem::Current().TryLock(file.get());
    if (error == 0) return Status::Ok();
    if (!IsLockBusy(error)) return OsError("cannot lock", path, error);
    if (!wait.Pause()) return wait.Expired(target);
  }
}

// Whether the locked file is still the file named path (still), or path names
// nothing now (gone).
Status CheckStillNamed(const OpenFile& file, const std::string& path, bool& still, bool& gone) {
  FileSystem& fileSystem = FileSystem::Current();
  FileInfo mine;
  int error = fileSystem.Fstat(file.get(), mine);
  if (error != 0) return OsError("cannot examine", path, error);
  FileInfo named;
  error = fileSystem.Lstat(path, named);
  gone = IsMissing(error);
  if (error != 0 && !gone) return OsError("cannot examine", path, error);
  still = !gone && mine.links > 0 && SameFile(mine, named);
  return Status::Ok();
}

Status NotRegular(const std::string& path, const FileInfo& info, const std::string& target) {
  const char* what = info.type == FileInfo::Type::kDirectory ? "a directory" : "no regular file";
  if (path == target) return Status::IOError("cannot save '" + target + "': it is " + what);
  return Status::IOError("cannot lock '" + target + "': its lock file '" + path + "' is " + what);
}

Status KeptChanging(const std::string& path, const std::string& target) {
  return Status::IOError("cannot lock '" + target + "': '" + path + "' was replaced " +
                         std::to_string(kMostRetakes) + " times while this save waited for it");
}

}  // namespace

unsigned LockFileMode(unsigned mode) {
  return 0600u | ((mode & 020u) != 0 ? 060u : 0u) | ((mode & 002u) != 0 ? 006u : 0u);
}

Status SaveLock::Take(const std::string& target, unsigned lockMode, bool exactMode, int timeoutMs) {
  FileSystem& fileSystem = FileSystem::Current();
  target_ = target;
  lockPath_ = LockFileOf(target);
  LockWait wait(timeoutMs);
  const auto about = [&](const Status& status) {
    return status.WithMessage(status.message() + " (the lock file of '" + target + "')");
  };

  // The lock file.
  Status noLockFile;  // why there is none, where the directory takes no new file
  for (int take = 0; !lockFile_.valid() && noLockFile.ok();) {
    OpenFile file;
    int error =
        fileSystem.Open(lockPath_, FileSystem::OpenKind::kCreateLockFile, lockMode, file.Receive());
    const bool created = error == 0;
    if (IsNameTaken(error) || IsRefused(error)) {
      const int refusal = error;
      error = fileSystem.Open(lockPath_, FileSystem::OpenKind::kLockFile, 0, file.Receive());
      if (IsMissing(error) && IsRefused(refusal)) {  // the directory takes no new file
        noLockFile = about(OsError("cannot create", lockPath_, refusal));
        break;
      }
      if (IsMissing(error)) {  // removed since: made anew
        if (++take == kMostRetakes) return KeptChanging(lockPath_, target);
        continue;
      }
      if (IsLockFileBusy(error) && wait.Pause()) continue;  // Windows: being deleted
    }
    if (error != 0) return about(OsError("cannot open", lockPath_, error));
    // A lock file this save made goes again when it fails before holding it.
    const auto failed = [&](const Status& status) {
      if (!created || status.IsLocked()) return status;  // a lock file others use stays
      static_cast<void>(file.Close());  // what failed is what this reports
      error = fileSystem.Remove(lockPath_);
      if (error == 0 || IsMissing(error)) return status;
      return status.WithMessage(status.message() + "; " +
                                OsError("cannot remove", lockPath_, error).message());
    };
    FileInfo info;
    error = fileSystem.Fstat(file.get(), info);
    if (error != 0) return failed(about(OsError("cannot examine", lockPath_, error)));
    if (info.type != FileInfo::Type::kRegular) return NotRegular(lockPath_, info, target);
    if (created && exactMode && FilesCarryPosixModes() && (info.mode & 0777u) != lockMode) {
      error = fileSystem.ChangeMode(file.get(), lockMode);
      if (error != 0)
        return failed(about(OsError("cannot set the permissions of", lockPath_, error)));
    }
    const Status locked = LockOpenFile(file, lockPath_, target, wait);
    if (!locked.ok()) return failed(locked);
    // Held: Release() removes it, unless it has left its name.
    lockFile_ = std::move(file);
    bool still = false, gone = false;
    const Status checked = CheckStillNamed(lockFile_, lockPath_, still, gone);
    if (!checked.ok()) return checked;
    if (!still) {  // removed or replaced while this save waited for it
      static_cast<void>(lockFile_.Close());  // no longer the lock: nothing to report
      if (++take == kMostRetakes) return KeptChanging(lockPath_, target);
    }
  }

  // The target itself.
  for (int take = 0; !targetLock_.valid();) {
    OpenFile file;
    int error = fileSystem.Open(target, FileSystem::OpenKind::kLockExisting, 0, file.Receive());
    if (IsMissing(error)) break;  // nothing to lock: a new file is made under the lock file
    if (error != 0) return OsError("cannot open to lock", target, error);
    FileInfo info;
    error = fileSystem.Fstat(file.get(), info);
    if (error != 0) return OsError("cannot examine", target, error);
    if (info.type != FileInfo::Type::kRegular) return NotRegular(target, info, target);
    Status status = LockOpenFile(file, target, target, wait);
    bool still = false, gone = false;
    if (status.ok()) status = CheckStillNamed(file, target, still, gone);
    if (!status.ok()) return status;
    if (gone) break;
    if (!still) {
      if (++take == kMostRetakes) return KeptChanging(target, target);
      continue;
    }
    targetLock_ = std::move(file);
  }
  inPlaceOnly_ = !lockFile_.valid();
  if (inPlaceOnly_ && !targetLock_.valid()) return noLockFile;  // nothing to rewrite in place
  return Status::Ok();
}

Status SaveLock::Release() {
  FileSystem& fileSystem = FileSystem::Current();
  Status result;
  if (lockFile_.valid()) {
    int error = fileSystem.Remove(lockPath_);
    if (error != 0 && !IsMissing(error) && !IsRefused(error))
      result = OsError("cannot remove the lock file", lockPath_, error);
    error = lockFile_.Close();
    if (error != 0 && result.ok()) result = OsError("cannot close the lock file", lockPath_, error);
  }
  const int error = targetLock_.Close();
  if (error != 0 && result.ok()) result = OsError("cannot close", target_, error);
  return result;
}

}  // namespace platform
}  // namespace dezov
