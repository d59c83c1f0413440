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

#include <cerrno>

#include "PosixFiles.h"

namespace dezov {
namespace platform {
namespace {

std::string LockPathOf(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  return DirectoryOf(target) + "/." + base + ".lock";
}

}  // namespace

Status OpenSaveLock(const std::string& target, OpenFile& lock) {
  FileSystem& fileSystem = FileSystem::Current();
  struct stat info;
  const bool existed = ::stat(target.c_str(), &info) == 0;
  // Whoever may read the target may lock it (its owner always): the lock file
  // says no more.
  const unsigned mode = existed ? ((info.st_mode & 0666) | 0400) : 0666;
  const int error =
      fileSystem.Open(LockPathOf(target), FileSystem::OpenKind::kLockFile, mode, lock.Receive());
  if (error == 0) return Status::Ok();
  if (existed && (error == EACCES || error == EPERM || error == EROFS) &&
      fileSystem.Open(target, FileSystem::OpenKind::kRead, 0, lock.Receive()) == 0)
    return Status::Ok();
  return OsError("cannot open the lock file of", target, error);
}

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
  return CreateDirectly(path, data);  // no hard links (or no /proc) here
}

}  // namespace platform
}  // namespace dezov
