// The POSIX system calls behind FileSystem::Default().
#include "../FileSystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace dezov {
namespace platform {
namespace {

int Fd(NativeFile file) { return static_cast<int>(file); }

int ErrorOf(int result) { return result == 0 ? 0 : errno; }

class PosixFileSystem : public FileSystem {
 public:
  int Open(const std::string& path, OpenKind kind, unsigned mode, NativeFile& file) override {
    int flags = O_CLOEXEC;
    switch (kind) {
      case OpenKind::kRead:
        flags |= O_RDONLY;
        break;
      case OpenKind::kRewrite:
        flags |= O_WRONLY | O_TRUNC;
        break;
      case OpenKind::kCreateNew:
        flags |= O_WRONLY | O_CREAT | O_EXCL;
        break;
      case OpenKind::kCreateUnnamed:
#ifdef O_TMPFILE
        flags |= O_WRONLY | O_TMPFILE;
        break;
#else
        return EOPNOTSUPP;
#endif
      case OpenKind::kLockFile:
        flags |= O_RDONLY | O_CREAT;  // flock needs no write access
        break;
    }
    int fd;
    do {
      fd = ::open(path.c_str(), flags, static_cast<mode_t>(mode));
    } while (fd < 0 && errno == EINTR);
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

  int TryLock(NativeFile file) override { return ErrorOf(::flock(Fd(file), LOCK_EX | LOCK_NB)); }

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
