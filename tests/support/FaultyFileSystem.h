// A FileSystem that breaks chosen calls of the real one, with the error codes
// of the system it runs on.
#ifndef DEZOV20_TESTS_SUPPORT_FAULTY_FILE_SYSTEM_H
#define DEZOV20_TESTS_SUPPORT_FAULTY_FILE_SYSTEM_H

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <cerrno>
#include <cstddef>
#include <functional>
#include <string>

#include "platform/FileSystem.h"

namespace testing_support {

#ifdef _WIN32
constexpr int kLockTaken = ERROR_LOCK_VIOLATION, kDiskFull = ERROR_DISK_FULL;
#else
constexpr int kLockTaken = EWOULDBLOCK, kDiskFull = ENOSPC;
#endif

using dezov::platform::FileSystem;
using dezov::platform::NativeFile;

class FaultyFileSystem : public dezov::platform::FileSystemWrapper {
 public:
  FaultyFileSystem() : FileSystemWrapper(FileSystem::Default()) {}

  int unnamedError = 0;        // kCreateUnnamed fails with it (e.g. EOPNOTSUPP)
  int createError = 0;         // every new file (temporary or lock file) fails with it
  std::size_t writeLimit = 0;  // when not 0, no write passes more bytes
  bool interrupt = false;      // every other write is interrupted (EINTR) first
  long long failAfterBytes = -1;  // writes past this many bytes fail with writeError
  int writeError = kDiskFull;
  int syncError = 0;
  int renameError = 0;
  bool lockHeld = false;  // every lock attempt finds the lock taken
  bool noWaits = false;   // the waits between lock attempts take no time
  // Called with each newly created file and before each write.
  std::function<void(NativeFile)> observe;

  int Open(const std::string& path, OpenKind kind, unsigned mode, NativeFile& file) override {
    const bool creates = kind == OpenKind::kCreateNew || kind == OpenKind::kCreateUnnamed ||
                         kind == OpenKind::kLockFile;
    if (kind == OpenKind::kCreateUnnamed && unnamedError != 0) return unnamedError;
    if (creates && createError != 0) return createError;
    const int error = target().Open(path, kind, mode, file);
    if (error == 0 && creates && kind != OpenKind::kLockFile && observe) observe(file);
    return error;
  }
  int Write(NativeFile file, const char* data, std::size_t size, std::size_t& written) override {
    if (observe) observe(file);
    if (interrupt && (interrupted_ = !interrupted_)) return EINTR;
    if (writeLimit != 0 && size > writeLimit) size = writeLimit;
    if (failAfterBytes >= 0 && bytes_ + static_cast<long long>(size) > failAfterBytes) {
      if (bytes_ >= failAfterBytes) return writeError;
      size = static_cast<std::size_t>(failAfterBytes - bytes_);  // the disk fills part way
    }
    const int error = target().Write(file, data, size, written);
    if (error == 0) bytes_ += static_cast<long long>(written);
    return error;
  }
  int Sync(NativeFile file) override { return syncError != 0 ? syncError : target().Sync(file); }
  int Rename(const std::string& from, const std::string& to) override {
    return renameError != 0 ? renameError : target().Rename(from, to);
  }
  int TryLock(NativeFile file) override { return lockHeld ? kLockTaken : target().TryLock(file); }
  void Sleep(int milliseconds) override {
    if (!noWaits) target().Sleep(milliseconds);
  }

 private:
  bool interrupted_ = false;
  long long bytes_ = 0;
};

#ifndef _WIN32
// Permission bits of an open file.
inline unsigned ModeOf(NativeFile file) {
  struct stat info;
  return ::fstat(static_cast<int>(file), &info) == 0 ? (info.st_mode & 07777) : 07777;
}
#endif

}  // namespace testing_support

#endif  // DEZOV20_TESTS_SUPPORT_FAULTY_FILE_SYSTEM_H
