// The steps of the save protocol that are the same on every system; each OS
// half supplies the lock file, the stamps and the replacement.
#include "FileLock.h"

#include <algorithm>

#include "FileInternals.h"
#include "Platform.h"

namespace dezov {
namespace platform {
namespace {

Status WaitForLock(const OpenFile& lock, const std::string& target, int timeoutMs) {
  // The time waited is the sum of the pauses, so that a test's FileSystem
  // whose Sleep returns at once reaches the limit without waiting.
  FileSystem& fileSystem = FileSystem::Current();
  long long waited = 0;
  int delayMs = 1;
  for (;;) {
    const int error = fileSystem.TryLock(lock.get());
    if (error == 0) return Status::Ok();
    if (!IsLockBusy(error)) return OsError("cannot lock", target, error);
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

}  // namespace

Status SaveLocked(const std::string& path, const FileStamp& readStamp, const SaveRenderer& render,
                  FileStamp& written, int timeoutMs) {
  if (path.empty()) return Status::Invalid("cannot write a file without a name");
  const std::string target = FinalTarget(path);
  OpenFile lock;
  Status status = OpenSaveLock(target, lock);
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

Status CreateDirectly(const std::string& path, const std::string& data) {
  FileSystem& fileSystem = FileSystem::Current();
  OpenFile file;
  int error = fileSystem.Open(path, FileSystem::OpenKind::kCreateNew, 0666, file.Receive());
  if (error != 0) return OsError("cannot create", path, error);
  error = FillFile(file, data, nullptr);
  const int closeError = file.Close();
  if (error == 0) error = closeError;
  if (error == 0) return Status::Ok();
  (void)fileSystem.Remove(path);
  return OsError("cannot write", path, error);
}

}  // namespace platform
}  // namespace dezov
