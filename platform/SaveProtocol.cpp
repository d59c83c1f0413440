// SPDX-License-Identifier: MIT
// The save protocol (see SaveProtocol.h): the named steps of a save, each
// over the lock, the temporary files and the in-place rewrite.
#include "SaveProtocol.h"

#include "FileRead.h"
#include "FinalTarget.h"
#include "InPlaceRewrite.h"
#include "Platform.h"
#include "SaveLock.h"
#include "TemporaryFiles.h"

namespace dezov {
namespace platform {
namespace {

// What is at a target's path now: a regular file, or nothing.
struct Target {
  std::string path;
  bool exists = false;
  FileInfo info;
};

Status Examine(const std::string& path, Target& target) {
  target.path = path;
  const int error = FileSystem::Current().Stat(path, target.info);
  target.exists = error == 0;
  if (error != 0 && !IsMissing(error)) return OsError("cannot examine", path, error);
  if (target.exists && target.info.type != FileInfo::Type::kRegular) {
    const bool directory = target.info.type == FileInfo::Type::kDirectory;
    return Status::IOError("cannot save '" + path + "': it is " +
                           (directory ? "a directory" : "no regular file"));
  }
  return Status::Ok();
}

// status, with the failure of a step that followed it (cleaning up,
// releasing) added; that failure alone when status is ok.
Status Also(const Status& status, const Status& later) {
  if (later.ok()) return status;
  if (status.ok()) return later;
  return status.WithMessage(status.message() + "; " + later.message());
}

// status, after removing the temporary it leaves behind.
Status Discarded(TemporaryFile& temp, const Status& status) {
  const std::string path = temp.path();
  const int error = temp.Discard();
  return error == 0 ? status : Also(status, OsError("cannot remove the temporary file", path, error));
}

// Writes data into a new temporary file of target, owned and protected as the
// target (or as asked). refused: the directory takes no new file.
Status WriteTemporary(TemporaryFile& temp, const Target& target, const std::string& data,
                      const FileOwnership& asked, FileStamp* written, bool allowUnnamed,
                      bool& refused) {
  const unsigned mode = asked.mode != -1 ? static_cast<unsigned>(asked.mode) & 0777u
                        : target.exists  ? target.info.mode & 0777u
                                         : 0666u;
  int error = temp.Create(target.path, mode, allowUnnamed);
  refused = IsRefused(error);
  if (error != 0) return OsError("cannot create a temporary file beside", target.path, error);
  const Status status =
      GiveOwnership(temp.file(), target.path, target.exists ? &target.info : nullptr, asked);
  if (!status.ok()) return status;
  error = WriteAll(temp.file(), data);
  if (error == 0) error = SyncAndStamp(temp.file(), written);
  return error == 0 ? Status::Ok() : OsError("cannot write", target.path, error);
}

// Makes the last change of path's directory durable.
Status FlushDirectoryOf(const std::string& path, const char* done) {
  const std::string directory = DirectoryOf(path);
  const int error = FileSystem::Current().SyncDirectory(directory);
  if (error == 0) return Status::Ok();
  return Status::IOError(std::string(done) + " '" + path + "', but " +
                         OsError("cannot flush the directory", directory, error).message() +
                         ": the change may not survive a crash");
}

// Gives target the content data through a temporary file put in its place:
// replacing the file there, or creating it where there is none.
Status ReplaceByTemporary(const Target& target, const std::string& data,
                          const FileOwnership& asked, FileStamp* written, bool& refused) {
  TemporaryFile temp;
  Status status = WriteTemporary(temp, target, data, asked, written, true, refused);
  if (status.ok() && temp.path().empty()) {
    const int error = temp.Name();
    // No way to name an unnamed file here (no /proc): write a named one instead.
    if (IsUnsupported(error) || IsMissing(error))
      status = WriteTemporary(temp, target, data, asked, written, false, refused);
    else if (error != 0)
      status = OsError("cannot name a temporary file beside", target.path, error);
  }
  if (status.ok()) status = temp.PutInPlace(target.exists);
  if (!status.ok()) return Discarded(temp, status);
  return FlushDirectoryOf(target.path, "saved");
}

// Writes the new content: by a temporary file, or in place where the lock
// says so or the directory turns out to take no new file.
Status WriteNewContent(const SaveLock& lock, const Target& target, const std::string& data,
                       const FileOwnership& asked, FileStamp* written) {
  if (lock.inPlaceOnly()) return RewriteInPlace(target.path, data, asked, written);
  bool refused = false;
  const Status status = ReplaceByTemporary(target, data, asked, written, refused);
  if (!refused || !target.exists) return status;
  const int error = FileSystem::Current().CheckWritable(target.path);
  if (error == 0) return RewriteInPlace(target.path, data, asked, written);
  return IsRefused(error) ? status : Also(status, OsError("cannot examine", target.path, error));
}

// The steps of a save that run under its lock. Without readStamp the file
// on disk is not looked at: the render gets kUnchanged.
Status SaveUnderLock(const SaveLock& lock, const std::string& target, const FileStamp* readStamp,
                     const SaveRenderer& render, FileStamp& written, const FileOwnership& asked) {
  Status status = lock.inPlaceOnly() ? Status::Ok() : RemoveStaleTemporaries(target);
  if (!status.ok())
    return status.WithMessage(status.message() + " (removing stale temporary files of '" + target +
                              "')");
  Target now;
  status = Examine(target, now);
  if (!status.ok()) return status;
  DiskState state;
  if (readStamp != nullptr && !now.exists) {
    state.kind = readStamp->exists ? DiskState::kRemoved : DiskState::kUnchanged;
  } else if (readStamp != nullptr && StampOf(now.info) != *readStamp) {
    state.kind = DiskState::kChanged;
    status = ReadWholeFile(target, state.bytes);
    if (!status.ok()) return status;
  }
  std::string out;
  status = render(state, out);
  if (!status.ok()) return status;
  return WriteNewContent(lock, now, out, asked, &written);
}

// The lock file's permission bits for target: those of a lock file for a
// file of mode asked, else of target; exact when known.
unsigned LockModeFor(const Target& target, const FileOwnership& asked, bool& exact) {
  exact = asked.mode != -1 || target.exists;
  if (asked.mode != -1) return LockFileMode(static_cast<unsigned>(asked.mode));
  return target.exists ? LockFileMode(target.info.mode) : 0666u;
}

// AlreadyExists when something (even a link to nothing) is named path.
Status CheckNameFree(const std::string& path) {
  FileInfo info;
  const int error = FileSystem::Current().Lstat(path, info);
  if (IsMissing(error)) return Status::Ok();
  if (error != 0) return OsError("cannot examine", path, error);
  return Status::AlreadyExists("cannot create '" + path + "': the name is taken");
}

// A save, as SaveLocked (or PutLocked, without readStamp) describes it.
Status Save(const std::string& path, const FileStamp* readStamp, const SaveRenderer& render,
            FileStamp& written, const FileOwnership& ownership, int timeoutMs) {
  if (path.empty()) return Status::Invalid("cannot write a file without a name");
  std::string resolved;
  Status status = FinalTarget(path, resolved);
  Target before;
  if (status.ok()) status = Examine(resolved, before);
  if (!status.ok()) return status;
  bool exact = false;
  const unsigned lockMode = LockModeFor(before, ownership, exact);
  SaveLock lock;
  status = lock.Take(resolved, lockMode, exact, timeoutMs);
  if (status.ok()) status = SaveUnderLock(lock, resolved, readStamp, render, written, ownership);
  return Also(status, lock.Release());
}

}  // namespace

Status SaveLocked(const std::string& path, const FileStamp& readStamp, const SaveRenderer& render,
                  FileStamp& written, int timeoutMs) {
  return Save(path, &readStamp, render, written, FileOwnership(), timeoutMs);
}

Status PutLocked(const std::string& path, const std::string& data, const FileOwnership& ownership,
                 int timeoutMs) {
  FileStamp written;
  const auto render = [&data](const DiskState&, std::string& out) {
    out = data;
    return Status::Ok();
  };
  return Save(path, nullptr, render, written, ownership, timeoutMs);
}

Status RemoveLocked(const std::string& path, int timeoutMs) {
  if (path.empty()) return Status::Invalid("cannot remove a file without a name");
  Status status = CheckNameFree(path);
  if (status.ok()) return Status::Ok();  // never there
  if (!status.IsAlreadyExists()) return status;
  std::string resolved;
  status = FinalTarget(path, resolved);
  Target target;
  if (status.ok()) status = Examine(resolved, target);
  if (!status.ok()) return status;
  bool exact = false;
  const unsigned lockMode = LockModeFor(target, FileOwnership(), exact);
  SaveLock lock;
  status = lock.Take(resolved, lockMode, exact, timeoutMs);
  if (status.ok()) {
    const int error = FileSystem::Current().Remove(path);
    if (error != 0 && !IsMissing(error)) status = OsError("cannot remove", path, error);
    else if (error == 0) status = FlushDirectoryOf(path, "removed");
  }
  return Also(status, lock.Release());
}

Status CreateFileExclusive(const std::string& path, const std::string& data) {
  if (path.empty()) return Status::Invalid("cannot create a file without a name");
  Status status = CheckNameFree(path);
  if (!status.ok()) return status;
  SaveLock lock;
  status = lock.Take(path, 0666u, false, kSaveLockTimeoutMs);
  if (status.ok()) status = CheckNameFree(path);  // made while this waited for the lock
  if (status.ok()) {
    Target target;
    target.path = path;
    bool refused = false;
    status = ReplaceByTemporary(target, data, FileOwnership(), nullptr, refused);
  }
  return Also(status, lock.Release());
}

Status CreateEmptyFile(const std::string& path) {
  const Status status = CreateFileExclusive(path, std::string());
  return status.IsAlreadyExists() ? Status::Ok() : status;
}

}  // namespace platform
}  // namespace dezov
