// SPDX-License-Identifier: MIT
// Temporary files and the sweep of stale ones (see TemporaryFiles.h).
#include "TemporaryFiles.h"

#include <ctime>
#include <vector>

#include "Platform.h"
#include "SaveFileNames.h"

namespace dezov {
namespace platform {
namespace {

constexpr int kNameAttempts = 100;

// A temporary whose writer died is removed once it is this old, even when its
// writer's process id is in use again.
constexpr std::int64_t kStaleNs = 600ll * 1000000000;

}  // namespace

TemporaryFile::~TemporaryFile() {
  if (path_.empty()) return;
  // Only an exception gets here, and it is what reports the failure.
  static_cast<void>(file_.Close());
  static_cast<void>(FileSystem::Current().Remove(path_));
}

int TemporaryFile::Create(const std::string& target, unsigned mode, bool allowUnnamed) {
  FileSystem& fileSystem = FileSystem::Current();
  target_ = target;
  if (allowUnnamed) {
    const int error = fileSystem.Open(DirectoryOf(target), FileSystem::OpenKind::kCreateUnnamed,
                                      mode, file_.Receive());
    if (!IsUnsupported(error)) return error;
  }
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string path = NewTemporaryOf(target);
    const int error = fileSystem.Open(path, FileSystem::OpenKind::kCreateNew, mode, file_.Receive());
    if (error == 0) {
      path_ = path;
      return fileSystem.TryLock(file_.get());  // tells the sweep that its writer lives
    }
    if (!IsNameTaken(error) || attempt + 1 == kNameAttempts) return error;
  }
  return 0;
}

int TemporaryFile::Name() {
  int error = 0;
  for (int attempt = 0; path_.empty() && attempt < kNameAttempts; ++attempt) {
    const std::string path = NewTemporaryOf(target_);
    error = FileSystem::Current().LinkUnnamed(file_.get(), path);
    if (error == 0) path_ = path;
    else if (!IsNameTaken(error)) break;
  }
  return error;
}

Status TemporaryFile::PutInPlace(bool replace) {
  FileSystem& fileSystem = FileSystem::Current();
  int error = file_.Close();
  if (error != 0) return OsError("cannot write", path_, error);
  if (!replace) {
    error = fileSystem.Link(path_, target_);
    if (error != 0 && !IsUnsupported(error) && !IsRefused(error))
      return OsError("cannot create", target_, error);
    if (error == 0) {
      error = fileSystem.Remove(path_);
      if (error != 0)
        return OsError(("created '" + target_ + "', but cannot remove its temporary file").c_str(),
                       path_, error);
      path_.clear();
      return Status::Ok();
    }
    // No hard links on this file system (FAT refuses them): a rename, which
    // the save lock keeps from meeting another saver's new file.
  }
  error = fileSystem.Rename(path_, target_);
  if (error != 0) return OsError("cannot put the new content in place of", target_, error);
  path_.clear();
  return Status::Ok();
}

int TemporaryFile::Discard() {
  // Given up: the failure that led here is what the caller reports.
  static_cast<void>(file_.Close());
  if (path_.empty()) return 0;
  const int error = FileSystem::Current().Remove(path_);
  if (error != 0 && !IsMissing(error)) return error;
  path_.clear();
  return 0;
}

Status RemoveStaleTemporaries(const std::string& target) {
  FileSystem& fileSystem = FileSystem::Current();
  const std::string directory = DirectoryOf(target);
  std::vector<std::string> names;
  int error = fileSystem.ListDirectory(directory, names);
  if (IsRefused(error)) return Status::Ok();
  if (error != 0) return OsError("cannot list the directory", directory, error);
  const std::int64_t nowNs = static_cast<std::int64_t>(std::time(nullptr)) * 1000000000;
  for (const std::string& name : names) {
    const long writer = TemporaryWriter(target, name);
    if (writer <= 0) continue;
    const std::string path = SiblingPath(target, name);
    FileInfo named;
    error = fileSystem.Lstat(path, named);
    if (IsMissing(error)) continue;
    if (error != 0) return OsError("cannot examine", path, error);
    if (named.type != FileInfo::Type::kRegular || named.owner != CurrentUserId()) continue;
    OpenFile file;
    error = fileSystem.Open(path, FileSystem::OpenKind::kLockExisting, 0, file.Receive());
    // Gone, not this user's to open, or (Windows) held open by its writer.
    if (IsMissing(error) || IsRefused(error) || IsLockBusy(error)) continue;
    if (error != 0) return OsError("cannot open", path, error);
    FileInfo opened;
    error = fileSystem.Fstat(file.get(), opened);
    if (error != 0) return OsError("cannot examine", path, error);
    if (!SameFile(opened, named)) continue;  // replaced meanwhile
    error = fileSystem.TryLock(file.get());
    if (IsLockBusy(error)) continue;  // its writer is still at work
    if (error != 0) return OsError("cannot lock", path, error);
    bool lives = false;
    error = fileSystem.ProcessLives(writer, lives);
    if (error != 0) return OsError("cannot tell whether the writer of a temporary file runs:", path, error);
    // Unlocked but its writer lives: it may be between creating and locking it.
    if (lives && nowNs - opened.modifiedNs < kStaleNs) continue;
    error = fileSystem.Remove(path);
    if (error != 0 && !IsMissing(error)) return OsError("cannot remove the stale temporary file", path, error);
  }
  return Status::Ok();
}

}  // namespace platform
}  // namespace dezov
