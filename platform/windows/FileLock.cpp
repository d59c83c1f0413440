// The save lock and exclusive creation on Windows.
//
// The lock is LockFileEx on ".<name>.lock" beside the target (the target is
// replaced on every save, so a lock on it would not exclude a saver that
// opened the new file). Where the directory takes no new file, the save
// rewrites the target in place and the target itself carries the lock. The
// system drops the lock when its holder dies.
#include <windows.h>

#include <algorithm>

#include "../FileLock.h"
#include "../FileSystem.h"
#include "../Platform.h"
#include "WindowsFiles.h"

namespace dezov {
namespace platform {
namespace {

std::string LockPathOf(const std::string& target) {
  const std::size_t cut = target.find_last_of("\\/:");
  const std::size_t start = cut == std::string::npos ? 0 : cut + 1;
  return target.substr(0, start) + "." + target.substr(start) + ".lock";
}

Status OpenSaveLock(const std::string& target, bool existed, OpenFile& lock) {
  FileSystem& fileSystem = FileSystem::Current();
  const int error =
      fileSystem.Open(LockPathOf(target), FileSystem::OpenKind::kLockFile, 0666, lock.Receive());
  if (error == 0) return Status::Ok();
  if (existed && error == ERROR_ACCESS_DENIED &&
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
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING)
      return OsError("cannot lock", target, error);
    if (waited >= timeoutMs) {
      return Status::Locked("the file '" + target +
                            "' is locked: another program is saving it (waited " +
                            std::to_string(timeoutMs) + " ms)");
    }
    const int pause = static_cast<int>(std::min<long long>(delayMs, timeoutMs - waited));
    fileSystem.Sleep(pause);
    waited += pause;
    delayMs = std::min(delayMs * 2, 50);
  }
}

}  // namespace

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

Status SaveLocked(const std::string& path, const FileStamp& readStamp, const SaveRenderer& render,
                  FileStamp& written, int timeoutMs) {
  if (path.empty()) return Status::Invalid("cannot write a file without a name");
  const std::string target = FinalTarget(path);
  const bool existed = ::GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES;
  OpenFile lock;
  Status status = OpenSaveLock(target, existed, lock);
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
  const std::string tempPath = NewTemporaryName(path);
  int error = fileSystem.Open(tempPath, FileSystem::OpenKind::kCreateNew, 0666, temp.Receive());
  if (error == 0) {
    error = WriteAll(temp.get(), data);
    if (error == 0) error = fileSystem.Sync(temp.get());
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
  // The directory takes no temporary file: create the file itself.
  error = fileSystem.Open(path, FileSystem::OpenKind::kCreateNew, 0666, temp.Receive());
  if (error != 0) return OsError("cannot create", path, error);
  error = WriteAll(temp.get(), data);
  if (error == 0) error = fileSystem.Sync(temp.get());
  const int closeError = temp.Close();
  if (error == 0) error = closeError;
  if (error == 0) return Status::Ok();
  (void)fileSystem.Remove(path);
  return OsError("cannot write", path, error);
}

}  // namespace platform
}  // namespace dezov
