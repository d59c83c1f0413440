// The save lock and exclusive creation on Windows.
//
// The lock is LockFileEx on ".<name>.lock" beside the target (the target is
// replaced on every save, so a lock on it would not exclude a saver that
// opened the new file). Where the directory takes no new file, the save
// rewrites the target in place and the target itself carries the lock. The
// system drops the lock when its holder dies.
#include "WindowsFiles.h"

namespace dezov {
namespace platform {
namespace {

std::string LockPathOf(const std::string& target) {
  const std::size_t cut = target.find_last_of("\\/:");
  const std::size_t start = cut == std::string::npos ? 0 : cut + 1;
  return target.substr(0, start) + "." + target.substr(start) + ".lock";
}

}  // namespace

Status OpenSaveLock(const std::string& target, OpenFile& lock) {
  FileSystem& fileSystem = FileSystem::Current();
  const bool existed = ::GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES;
  const int error =
      fileSystem.Open(LockPathOf(target), FileSystem::OpenKind::kLockFile, 0666, lock.Receive());
  if (error == 0) return Status::Ok();
  if (existed && error == ERROR_ACCESS_DENIED &&
      fileSystem.Open(target, FileSystem::OpenKind::kRead, 0, lock.Receive()) == 0)
    return Status::Ok();
  return OsError("cannot open the lock file of", target, error);
}

Status StampFile(const std::string& path, FileStamp& stamp) {
  const HANDLE file = ::CreateFileA(path.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
      return OsError("cannot examine", path, static_cast<int>(error));
    stamp = FileStamp();
    return Status::Ok();
  }
  FileStamp seen;
  const bool known = StampOfHandle(file, seen);
  const DWORD error = ::GetLastError();
  ::CloseHandle(file);
  if (!known) return OsError("cannot examine", path, static_cast<int>(error));
  stamp = seen;
  return Status::Ok();
}

Status CreateFileExclusive(const std::string& path, const std::string& data) {
  if (path.empty()) return Status::Invalid("cannot create a file without a name");
  FileSystem& fileSystem = FileSystem::Current();
  OpenFile temp;
  const std::string tempPath = NewTemporaryName(path);
  int error = fileSystem.Open(tempPath, FileSystem::OpenKind::kCreateNew, 0666, temp.Receive());
  // The directory takes no temporary file: create the file itself.
  if (error != 0) return CreateDirectly(path, data);
  error = FillFile(temp, data, nullptr);
  const int closeError = temp.Close();
  if (error == 0) error = closeError;
  if (error != 0) {
    (void)fileSystem.Remove(tempPath);
    return OsError("cannot write", path, error);
  }
  // A rename that may not replace: the complete file appears, or the name was taken.
  error = ::MoveFileExA(tempPath.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)
              ? 0
              : static_cast<int>(::GetLastError());
  if (error != 0) (void)fileSystem.Remove(tempPath);
  return error == 0 ? Status::Ok() : OsError("cannot create", path, error);
}

}  // namespace platform
}  // namespace dezov
