// Whole-file reads and crash-safe whole-file replacement on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

#include "../Platform.h"

namespace dezov {
namespace platform {
namespace {

std::string ErrorText(const char* what, const std::string& path, int error) {
  return std::string(what) + " '" + path + "': " + std::strerror(error);
}

// An open descriptor that is closed when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now and reports whether the close succeeded.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const std::string& data) {
  const char* next = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, next, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    next += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Follows symbolic links (also dangling ones) to the file that is really written.
std::string FinalTarget(const std::string& path) {
  std::string target = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat info;
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
    std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
    const ssize_t size = ::readlink(target.c_str(), link.data(), link.size());
    if (size < 0 || static_cast<std::size_t>(size) >= link.size()) break;
    link.resize(static_cast<std::size_t>(size));
    target = link.front() == '/' ? link : DirectoryOf(target) + "/" + link;
  }
  return target;
}

// A new, empty file with a unique name next to target; its name in tempPath.
int CreateTempBeside(const std::string& target, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  std::random_device entropy;
  const std::size_t slash = target.rfind('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  const std::string prefix =
      (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + "." + base;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = prefix + ".tmp" + std::to_string(::getpid()) + "-" +
               std::to_string(counter++) + "-" + std::to_string(entropy() % 1000000);
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool RewriteInPlace(const std::string& target, const std::string& data, std::string& error) {
  FileDescriptor file(::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
  if (file.get() < 0) {
    error = ErrorText("cannot open for writing", target, errno);
    return false;
  }
  if (!WriteAll(file.get(), data) || ::fsync(file.get()) != 0 || !file.Close()) {
    error = ErrorText("cannot write", target, errno);
    return false;
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& data, std::string& error) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info;
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0) {
    error = ErrorText("cannot open", path, errno);
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    error = ErrorText("cannot read", path, EISDIR);
    return false;
  }
  std::string content;
  if (S_ISREG(info.st_mode)) content.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      error = ErrorText("cannot read", path, errno);
      return false;
    }
    content.append(buffer, static_cast<std::size_t>(got));
  }
  data.swap(content);
  return true;
}

bool CreateEmptyFile(const std::string& path) {
  FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
  return file.get() >= 0 && file.Close();
}

bool ReplaceFileContents(const std::string& path, const std::string& data, std::string& error) {
  if (path.empty()) {
    error = "cannot write a file without a name";
    return false;
  }
  const std::string target = FinalTarget(path);
  struct stat old;
  const bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode)) {
    error = ErrorText("cannot replace", target, S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    return false;
  }
  std::string tempPath;
  FileDescriptor temp(CreateTempBeside(target, tempPath));
  if (temp.get() < 0) {
    const int why = errno;
    // No new file may be made in the directory, but the file itself is writable.
    if (existed && (why == EACCES || why == EPERM) && ::access(target.c_str(), W_OK) == 0)
      return RewriteInPlace(target, data, error);
    error = ErrorText("cannot create a file beside", target, why);
    return false;
  }
  bool ok = WriteAll(temp.get(), data);
  if (ok && existed) {
    ok = ::fchmod(temp.get(), old.st_mode & 07777) == 0;
    // Keeping the owner is best effort: only a privileged process may give away files.
    if (ok) (void)::fchown(temp.get(), old.st_uid, old.st_gid);
  }
  ok = ok && ::fsync(temp.get()) == 0;
  const int writeError = errno;
  ok = temp.Close() && ok;
  if (!ok || ::rename(tempPath.c_str(), target.c_str()) != 0) {
    error = ErrorText("cannot write", target, ok ? errno : writeError);
    ::unlink(tempPath.c_str());
    return false;
  }
  FileDescriptor directory(::open(DirectoryOf(target).c_str(), O_RDONLY | O_CLOEXEC));
  if (directory.get() >= 0) (void)::fsync(directory.get());
  return true;
}

}  // namespace platform
}  // namespace dezov
