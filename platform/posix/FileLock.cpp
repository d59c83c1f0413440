// The save lock and exclusive creation on POSIX systems.
//
// The lock is a flock on ".<name>.lock" beside the target. A lock file rather
// than the target itself, because every save replaces the target by a rename:
// a lock on the old file would not exclude a saver that opened the new one.
// flock (like open-file-description locks) belongs to the open file, so two
// threads of one process exclude each other too, and it needs only read
// access. The OS drops it when its holder dies. Where the directory takes no
// new file the save rewrites the target in place, keeping its inode, so the
// target itself then carries the lock.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "../FileLock.h"
#include "../FileSystem.h"
#include "../Platform.h"
#include "PosixFiles.h"

namespace dezov {
namespace platform {
namespace {

std::string LockPathOf(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  return DirectoryOf(target) + "/." + base + ".lock";
}

Status OpenSaveLock(const std::string& target, const struct stat* existing, OpenFile& lock) {
  FileSystem& fileSystem = FileSystem::Current();
  // Whoever may read the target may lock it (its owner always): the lock file
  // says no more.
  const unsigned mode = existing != nullptr ? ((existing->st_mode & 0666) | 0400) : 0666;
  const int error =
      fileSystem.Open(LockPathOf(target), FileSystem::OpenKind::kLockFile, mode, lock.Receive());
  if (error == 0) return Status::Ok();
  if (existing != nullptr && (error == EACCES || error == EPERM || error == EROFS) &&
      fileSystem.Open(target, FileSystem::OpenKind::kRead, 0, lock.Receive()) == 0)
    return Status::Ok();
  return OsError("cannot open the lock file of", target, error);
}

Status WaitForLock(const OpenFile& lock, const std::string& target, int timeoutMs) {
  // The time waited is the sum of the pauses, so that a test's FileSystem
  // whose Sleep returns at once reaches the limit without waiting.
  FileSystem& fileSystem = FileSystem::Current();
  long long waited = 0;
  int delayMs = 1;
  for (;;) {
    const int error = fileSystem.TryLock(lock.get());
    if (error == 0) return Status::Ok();
    if (error != EWOULDBLOCK && error != EAGAIN && error != EINTR)
      return OsError("cannot lock", target, error);
    if (waited >= timeoutMs) {
      return Status::Locked("the file '" + target + "' is locked: another program is saving it (waited " +
                            std::to_string(timeoutMs) + " ms)");
    }
    const int pause = static_cast<int>(std::min<long long>(delayMs, timeoutMs - waited));
    fileSystem.Sleep(pause);
    waited += pause;
    delayMs = std::min(delayMs * 2, 50);
  }
}

// A file that appeared without a name has none yet: link it. A file system
// without hard links (or without /proc) takes the plain exclusive create.
Status CreateDirectly(const std::string& path, const std::string& data) {
  FileSystem& fileSystem = FileSystem::Current();
  OpenFile file;
  int error = fileSystem.Open(path, FileSystem::OpenKind::kCreateNew, 0666, file.Receive());
  if (error != 0) return OsError("cannot create", path, error);
  error = WriteAll(file.get(), data);
  if (error == 0) error = fileSystem.Sync(file.get());
  const int closeError = file.Close();
  if (error == 0) error = closeError;
  if (error == 0) return Status::Ok();
  (void)fileSystem.Remove(path);
  return OsError("cannot write", path, error);
}

}  // namespace

Status StampFile(const std::string& path, FileStamp& stamp) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT) return OsError("cannot examine", path, errno);
    stamp = FileStamp();
    return Status::Ok();
  }
  stamp = StampOf(info);
  return Status::Ok();
}

Status SaveLocked(const std::string& path, const FileStamp& readStamp, const SaveRenderer& render,
                  FileStamp& written, int timeoutMs) {
  if (path.empty()) return Status::Invalid("cannot write a file without a name");
  const std::string target = FinalTarget(path);
  struct stat info;
  const bool existed = ::stat(target.c_str(), &info) == 0;
  OpenFile lock;
  Status status = OpenSaveLock(target, existed ? &info : nullptr, lock);
  if (status.ok()) status = WaitForLock(lock, target, timeoutMs);
  if (!status.ok()) return status;
  RemoveStaleTemporaries(target);

  FileStamp now;
  status = StampFile(target, now);
  if (!status.ok()) return status;
  DiskState state;
  if (!now.exists) {
    state.kind = readStamp.exists ? DiskState::kRemoved : DiskState::kUnchanged;
  } else if (now != readStamp) {
    state.kind = DiskState::kChanged;
    status = ReadWholeFile(target, state.bytes);
    if (!status.ok()) return status;
  }
  std::string out;
  status = render(state, out);
  if (!status.ok()) return status;
  return ReplaceResolved(target, out, &written);
}

Status CreateFileExclusive(const std::string& path, const std::string& data) {
  if (path.empty()) return Status::Invalid("cannot create a file without a name");
  FileSystem& fileSystem = FileSystem::Current();
  OpenFile temp;
  std::string tempPath;
  int error = CreateTemporary(path, 0666, true, temp, tempPath);
  if (error != 0) return CreateDirectly(path, data);  // e.g. a directory that takes no temporary
  error = FillTemporary(temp, data, nullptr, nullptr);
  if (error != 0) {
    if (!tempPath.empty()) (void)fileSystem.Remove(tempPath);
    return OsError("cannot write", path, error);
  }
  // A hard link gives the complete file its name, or fails when the name is taken.
  if (tempPath.empty()) {
    error = fileSystem.LinkUnnamed(temp.get(), path);
  } else {
    error = fileSystem.Link(tempPath, path);
    (void)fileSystem.Remove(tempPath);
  }
  if (error == 0) return Status::Ok();
  if (error == EEXIST) return OsError("cannot create", path, error);
  return CreateDirectly(path, data);
}

}  // namespace platform
}  // namespace dezov
