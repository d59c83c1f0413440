// SPDX-License-Identifier: MIT
// A FileSystem that breaks chosen calls of the real one, with the error codes
// of the system it runs on, and counts and logs the calls it passes on.
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
#include <vector>

#include "platform/FileSystem.h"
#include "support/FileSystemWrapper.h"

namespace testing_support {

#ifdef _WIN32
constexpr int kLockTaken = ERROR_LOCK_VIOLATION, kDiskFull = ERROR_DISK_FULL,
              kIoError = ERROR_GEN_FAILURE, kRefused = ERROR_ACCESS_DENIED;
#else
constexpr int kLockTaken = EWOULDBLOCK, kDiskFull = ENOSPC, kIoError = EIO, kRefused = EACCES;
#endif

using dezov::platform::FileInfo;
using dezov::platform::FileSystem;
using dezov::platform::NativeFile;

class FaultyFileSystem : public dezov::platform::FileSystemWrapper {
 public:
  FaultyFileSystem() : FileSystemWrapper(FileSystem::Default()) {}

  // One seam call made through this instance, in order.
  struct Call {
    std::string name;  // "Open", "Rename", ...
    std::string path;  // the path it names, if any
    int error = 0;     // what it returned
  };

  int unnamedError = 0;        // kCreateUnnamed fails with it (e.g. EOPNOTSUPP)
  int createError = 0;         // every new file (temporary or lock file) fails with it
  int temporaryError = 0;      // new temporaries (kCreateNew, kCreateUnnamed) fail with it
  std::size_t writeLimit = 0;  // when not 0, no write passes more bytes
  bool interrupt = false;      // every other write is interrupted (EINTR) first
  long long failAfterBytes = -1;  // writes past this many bytes fail with writeError
  int writeError = kDiskFull;
  int syncError = 0;
  int renameError = 0;
  int reserveError = 0;
  bool lockHeld = false;  // every lock attempt finds the lock taken
  bool noWaits = false;   // the waits between lock attempts take no time
  // The call with this number (counting from 0, Sleep aside) fails with
  // failError; it is not passed on, except Close, whose file is closed.
  int failAt = -1;
  int failError = kIoError;
  // Called with each newly created file and before each write.
  std::function<void(NativeFile)> observe;
  // Called with the path of each new named file before it is created.
  std::function<void(const std::string&)> beforeCreate;

  const std::vector<Call>& calls() const { return calls_; }

  int Open(const std::string& path, OpenKind kind, unsigned mode, NativeFile& file) override {
    return Log("Open", path, [&] {
      const bool temporary = kind == OpenKind::kCreateNew || kind == OpenKind::kCreateUnnamed;
      if (kind == OpenKind::kCreateUnnamed && unnamedError != 0) return unnamedError;
      if ((temporary || kind == OpenKind::kCreateLockFile) && createError != 0) return createError;
      if (temporary && temporaryError != 0) return temporaryError;
      if (kind == OpenKind::kCreateNew && beforeCreate) beforeCreate(path);
      const int error = target().Open(path, kind, mode, file);
      if (error == 0 && temporary && observe) observe(file);
      return error;
    });
  }
  int Close(NativeFile file) override {
    const int error = target().Close(file);
    return Log("Close", "", [&] { return error; });
  }
  int Read(NativeFile file, char* buffer, std::size_t size, std::size_t& got) override {
    return Log("Read", "", [&] { return target().Read(file, buffer, size, got); });
  }
  int Write(NativeFile file, const char* data, std::size_t size, std::size_t& written) override {
    return Log("Write", "", [&] {
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
    });
  }
  int Sync(NativeFile file) override {
    return Log("Sync", "", [&] { return syncError != 0 ? syncError : target().Sync(file); });
  }
  int Reserve(NativeFile file, std::uint64_t size) override {
    return Log("Reserve", "",
               [&] { return reserveError != 0 ? reserveError : target().Reserve(file, size); });
  }
  int Resize(NativeFile file, std::uint64_t size) override {
    return Log("Resize", "", [&] { return target().Resize(file, size); });
  }
  int TryLock(NativeFile file) override {
    return Log("TryLock", "", [&] { return lockHeld ? kLockTaken : target().TryLock(file); });
  }
  int Stat(const std::string& path, FileInfo& info) override {
    return Log("Stat", path, [&] { return target().Stat(path, info); });
  }
  int Lstat(const std::string& path, FileInfo& info) override {
    return Log("Lstat", path, [&] { return target().Lstat(path, info); });
  }
  int Fstat(NativeFile file, FileInfo& info) override {
    return Log("Fstat", "", [&] { return target().Fstat(file, info); });
  }
  int ReadLink(const std::string& path, std::string& link) override {
    return Log("ReadLink", path, [&] { return target().ReadLink(path, link); });
  }
  int CheckWritable(const std::string& path) override {
    return Log("CheckWritable", path, [&] { return target().CheckWritable(path); });
  }
  int ChangeOwner(NativeFile file, long owner, long group) override {
    return Log("ChangeOwner", "", [&] { return target().ChangeOwner(file, owner, group); });
  }
  int ChangeMode(NativeFile file, unsigned mode) override {
    return Log("ChangeMode", "", [&] { return target().ChangeMode(file, mode); });
  }
  int ListDirectory(const std::string& directory, std::vector<std::string>& names) override {
    return Log("ListDirectory", directory, [&] { return target().ListDirectory(directory, names); });
  }
  int SyncDirectory(const std::string& directory) override {
    return Log("SyncDirectory", directory, [&] { return target().SyncDirectory(directory); });
  }
  int ProcessLives(long pid, bool& lives) override {
    return Log("ProcessLives", "", [&] { return target().ProcessLives(pid, lives); });
  }
  int LinkUnnamed(NativeFile file, const std::string& path) override {
    return Log("LinkUnnamed", path, [&] { return target().LinkUnnamed(file, path); });
  }
  int Link(const std::string& from, const std::string& to) override {
    return Log("Link", to, [&] { return target().Link(from, to); });
  }
  int Rename(const std::string& from, const std::string& to) override {
    return Log("Rename", to,
               [&] { return renameError != 0 ? renameError : target().Rename(from, to); });
  }
  int Remove(const std::string& path) override {
    return Log("Remove", path, [&] { return target().Remove(path); });
  }
  void Sleep(int milliseconds) override {
    if (!noWaits) target().Sleep(milliseconds);
  }

 private:
  template <typename Pass>
  int Log(const char* name, const std::string& path, Pass pass) {
    const bool fails = static_cast<int>(calls_.size()) == failAt;
    // A failing Close still closes: the descriptor is gone either way.
    const int error = fails && std::string(name) != "Close" ? failError : pass();
    calls_.push_back({name, path, fails ? failError : error});
    return fails ? failError : error;
  }

  bool interrupted_ = false;
  long long bytes_ = 0;
  std::vector<Call> calls_;
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
