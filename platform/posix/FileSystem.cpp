// SPDX-License-Identifier: MIT
// The POSIX system calls behind FileSystem::Default(): the only place where
// the library calls the system for files.
#include "../FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

namespace dezov {
namespace platform {
namespace {

int Fd(NativeFile file) { return static_cast<int>(file); }

int ErrorOf(int result) { return result == 0 ? 0 : errno; }

// Makes call (returning -1 and errno on failure) again while a signal interrupts it.
template <typename Call>
int Retrying(Call call) {
  int result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

FileInfo InfoOf(const struct stat& status) {
  FileInfo info;
  info.type = S_ISREG(status.st_mode)   ? FileInfo::Type::kRegular
              : S_ISDIR(status.st_mode) ? FileInfo::Type::kDirectory
              : S_ISLNK(status.st_mode) ? FileInfo::Type::kSymlink
                                        : FileInfo::Type::kOther;
  info.mode = static_cast<unsigned>(status.st_mode & 07777);
  info.owner = static_cast<long>(status.st_uid);
  info.group = static_cast<long>(status.st_gid);
  info.device = static_cast<std::uint64_t>(status.st_dev);
  info.inode = static_cast<std::uint64_t>(status.st_ino);
  info.size = static_cast<std::uint64_t>(status.st_size);
  info.links = static_cast<std::uint64_t>(status.st_nlink);
#ifdef __APPLE__
  const struct timespec& modified = status.st_mtimespec;
#else
  const struct timespec& modified = status.st_mtim;
#endif
  info.modifiedNs = static_cast<std::int64_t>(modified.tv_sec) * 1000000000 + modified.tv_nsec;
  return info;
}

int OpenFlags(FileSystem::OpenKind kind) {
  constexpr int kNoFollowNoBlock = O_NOFOLLOW | O_NONBLOCK;
  switch (kind) {
    case FileSystem::OpenKind::kRead:
      return O_RDONLY;
    case FileSystem::OpenKind::kWriteExisting:
      return O_WRONLY | kNoFollowNoBlock;
    case FileSystem::OpenKind::kCreateNew:
      return O_WRONLY | O_CREAT | O_EXCL | kNoFollowNoBlock;
    case FileSystem::OpenKind::kCreateUnnamed:
#ifdef O_TMPFILE
      return O_WRONLY | O_TMPFILE;
#else
      return -1;
#endif
    case FileSystem::OpenKind::kCreateLockFile:  // flock needs no write access
      return O_RDONLY | O_CREAT | O_EXCL | kNoFollowNoBlock;
    case FileSystem::OpenKind::kLockFile:
      return O_RDONLY | kNoFollowNoBlock;
    case FileSystem::OpenKind::kLockExisting:
      return O_RDONLY | kNoFollowNoBlock;
  }
  return -1;
}

// Allocates the blocks of [from, size) by writing a zero byte into each, for
// systems without an allocation call.
int WriteZeroBlocks(int fd, off_t from, off_t size) {
  constexpr off_t kBlock = 4096;
  const char zero = 0;
  for (off_t at = from; at < size; at = (at / kBlock + 1) * kBlock) {
    const off_t last = std::min<off_t>((at / kBlock + 1) * kBlock, size) - 1;
    if (Retrying([&] { return static_cast<int>(::pwrite(fd, &zero, 1, last)); }) < 0) return errno;
  }
  return 0;
}

class PosixFileSystem : public FileSystem {
 public:
  int Open(const std::string& path, OpenKind kind, unsigned mode, NativeFile& file) override {
    const int flags = OpenFlags(kind);
    if (flags < 0) return EOPNOTSUPP;
    const auto open = [&](int how) {
      return Retrying([&] { return ::open(path.c_str(), how | O_CLOEXEC, static_cast<mode_t>(mode)); });
    };
    int fd = open(flags);
    if (fd < 0 && errno == EACCES && kind == OpenKind::kLockExisting)
      fd = open((flags & ~O_RDONLY) | O_WRONLY);
    if (fd < 0) return errno;
    file = fd;
    return 0;
  }

  int Close(NativeFile file) override { return ErrorOf(::close(Fd(file))); }

  int Read(NativeFile file, char* buffer, std::size_t size, std::size_t& got) override {
    const ssize_t result = ::read(Fd(file), buffer, size);
    if (result < 0) return errno;
    got = static_cast<std::size_t>(result);
    return 0;
  }

  int Write(NativeFile file, const char* data, std::size_t size, std::size_t& written) override {
    const ssize_t result = ::write(Fd(file), data, size);
    if (result < 0) return errno;
    written = static_cast<std::size_t>(result);
    return 0;
  }

  int Sync(NativeFile file) override { return ErrorOf(::fsync(Fd(file))); }

  int Reserve(NativeFile file, std::uint64_t size) override {
    struct stat status;
    if (::fstat(Fd(file), &status) != 0) return errno;
    if (static_cast<std::uint64_t>(status.st_size) >= size) return 0;
#ifdef __APPLE__
    int error = EOPNOTSUPP;
#else
    int error = ::posix_fallocate(Fd(file), 0, static_cast<off_t>(size));
    while (error == EINTR) error = ::posix_fallocate(Fd(file), 0, static_cast<off_t>(size));
#endif
    if (error != EOPNOTSUPP && error != EINVAL) return error;
    return WriteZeroBlocks(Fd(file), status.st_size, static_cast<off_t>(size));
  }

  int Resize(NativeFile file, std::uint64_t size) override {
    return Retrying([&] { return ::ftruncate(Fd(file), static_cast<off_t>(size)); }) < 0 ? errno : 0;
  }

  int TryLock(NativeFile file) override { return ErrorOf(::flock(Fd(file), LOCK_EX | LOCK_NB)); }

  int Stat(const std::string& path, FileInfo& info) override {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) return errno;
    info = InfoOf(status);
    return 0;
  }

  int Lstat(const std::string& path, FileInfo& info) override {
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0) return errno;
    info = InfoOf(status);
    return 0;
  }

  int Fstat(NativeFile file, FileInfo& info) override {
    struct stat status;
    if (::fstat(Fd(file), &status) != 0) return errno;
    info = InfoOf(status);
    return 0;
  }

  int ReadLink(const std::string& path, std::string& target) override {
    for (std::size_t size = 256; size <= (1u << 16); size *= 2) {
      std::string buffer(size, '\0');
      const ssize_t length = ::readlink(path.c_str(), &buffer[0], buffer.size());
      if (length < 0) return errno;
      if (static_cast<std::size_t>(length) < buffer.size()) {
        buffer.resize(static_cast<std::size_t>(length));
        target.swap(buffer);
        return 0;
      }
    }
    return ENAMETOOLONG;
  }

  int CheckWritable(const std::string& path) override {
    // The effective user decides, as for the write itself.
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    return ErrorOf(::access(path.c_str(), W_OK));
  }

  int ChangeOwner(NativeFile file, long owner, long group) override {
    return ErrorOf(::fchown(Fd(file), static_cast<uid_t>(owner), static_cast<gid_t>(group)));
  }

  int ChangeMode(NativeFile file, unsigned mode) override {
    return ErrorOf(::fchmod(Fd(file), static_cast<mode_t>(mode)));
  }

  int ListDirectory(const std::string& directory, std::vector<std::string>& names) override {
    std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(directory.c_str()), ::closedir);
    if (!listing) return errno;
    std::vector<std::string> found;
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(listing.get());
      if (entry == nullptr) break;
      const std::string name = entry->d_name;
      if (name != "." && name != "..") found.push_back(name);
    }
    if (errno != 0) return errno;
    DIR* done = listing.release();
    if (::closedir(done) != 0) return errno;
    names.swap(found);
    return 0;
  }

  int SyncDirectory(const std::string& directory) override {
    const int fd = Retrying(
        [&] { return ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (fd < 0) return errno;
    int error = ErrorOf(::fsync(fd));
    // Some file systems flush directories by themselves and refuse the call.
    if (error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP) error = 0;
    const int closeError = ErrorOf(::close(fd));
    return error != 0 ? error : closeError;
  }

  int ProcessLives(long pid, bool& lives) override {
    if (pid <= 0) return EINVAL;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM) {
      lives = true;
      return 0;
    }
    if (errno != ESRCH) return errno;
    lives = false;
    return 0;
  }

  int LinkUnnamed(NativeFile file, const std::string& path) override {
    // Linking through /proc needs no privilege, unlike AT_EMPTY_PATH.
    const std::string self = "/proc/self/fd/" + std::to_string(Fd(file));
    return ErrorOf(::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW));
  }

  int Link(const std::string& from, const std::string& to) override {
    return ErrorOf(::link(from.c_str(), to.c_str()));
  }

  int Rename(const std::string& from, const std::string& to) override {
    return ErrorOf(::rename(from.c_str(), to.c_str()));
  }

  int Remove(const std::string& path) override { return ErrorOf(::unlink(path.c_str())); }

  void Sleep(int milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

}  // namespace

FileSystem& FileSystem::Default() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace platform
}  // namespace dezov
