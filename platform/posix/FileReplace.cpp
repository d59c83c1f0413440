// The POSIX side of whole-file reads and crash-safe replacement: temporary
// files (unnamed where possible), renames, stamps. The portable steps are in
// ../FileReplace.cpp.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <memory>
#include <random>

#include "PosixFiles.h"

namespace dezov {
namespace platform {
namespace {

// A temporary file whose writer died is removed once it is this old, even
// when its writer's process id is in use again.
constexpr std::time_t kStaleTemporarySeconds = 600;

std::string BaseNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporary files of target are named ".<name>.tmp<pid>-<counter>-<random>"
// in its directory, so that a later save can find those of dead writers.
std::string TemporaryPrefix(const std::string& target) { return "." + BaseNameOf(target) + ".tmp"; }

std::string NewTemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  thread_local std::minstd_rand random{std::random_device{}()};
  return DirectoryOf(target) + "/" + TemporaryPrefix(target) + std::to_string(::getpid()) + "-" +
         std::to_string(counter++) + "-" + std::to_string(random() % 1000000);
}

bool IsCreationRefused(int error) { return error == EACCES || error == EPERM; }

// The writer's process id in a temporary's name after prefix; 0 when the name
// does not have the temporary's shape.
pid_t WriterOf(const std::string& name, std::size_t prefixSize) {
  pid_t pid = 0;
  int dashes = 0;
  bool digit = false;
  for (std::size_t i = prefixSize; i < name.size(); ++i) {
    const char c = name[i];
    if (c >= '0' && c <= '9') {
      if (dashes == 0) {
        if (pid > 99999999) return 0;
        pid = pid * 10 + (c - '0');
      }
      digit = true;
    } else if (c == '-' && digit && dashes < 2) {
      ++dashes;
      digit = false;
    } else {
      return 0;
    }
  }
  return dashes == 2 && digit ? pid : 0;
}

bool ProcessLives(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

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

FileStamp StampOf(const struct stat& info) {
  FileStamp stamp;
  stamp.exists = true;
  stamp.device = static_cast<std::uint64_t>(info.st_dev);
  stamp.inode = static_cast<std::uint64_t>(info.st_ino);
  stamp.size = static_cast<std::uint64_t>(info.st_size);
  stamp.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                     info.st_mtim.tv_nsec;
  return stamp;
}

int CreateTemporary(const std::string& target, unsigned mode, bool allowUnnamed, OpenFile& temp,
                    std::string& tempPath) {
  FileSystem& fileSystem = FileSystem::Current();
  tempPath.clear();
  int error = ENOTSUP;
  if (allowUnnamed) {
    error = fileSystem.Open(DirectoryOf(target), FileSystem::OpenKind::kCreateUnnamed, mode,
                            temp.Receive());
    if (IsCreationRefused(error) || error == EROFS) return error;
  }
  for (int attempt = 0; error != 0 && attempt < 100; ++attempt) {
    tempPath = NewTemporaryName(target);
    error = fileSystem.Open(tempPath, FileSystem::OpenKind::kCreateNew, mode, temp.Receive());
    if (error != EEXIST) break;
  }
  if (error != 0) {
    tempPath.clear();
    return error;
  }
  (void)fileSystem.TryLock(temp.get());  // tells cleaners that the writer lives
  return 0;
}

int FillTemporary(const OpenFile& temp, const std::string& data, const struct stat* like,
                  FileStamp* stamp) {
  const int fd = static_cast<int>(temp.get());
  if (like != nullptr) {
    // Keeping the owner is best effort: only a privileged process may give away files.
    (void)::fchown(fd, like->st_uid, like->st_gid);
    if (::fchmod(fd, like->st_mode & 07777) != 0) return errno;
  }
  return FillFile(temp, data, stamp);
}

int NameTemporary(const std::string& target, const OpenFile& temp, std::string& tempPath) {
  if (!tempPath.empty()) return 0;
  int error = EEXIST;
  for (int attempt = 0; error == EEXIST && attempt < 100; ++attempt) {
    const std::string name = NewTemporaryName(target);
    error = FileSystem::Current().LinkUnnamed(temp.get(), name);
    if (error == 0) tempPath = name;
  }
  return error;
}

Status ReplaceResolved(const std::string& target, const std::string& data, FileStamp* written) {
  FileSystem& fileSystem = FileSystem::Current();
  struct stat old;
  const bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode))
    return OsError("cannot replace", target, S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
  const struct stat* like = existed ? &old : nullptr;
  const unsigned mode = existed ? (old.st_mode & 0777) : 0666;

  OpenFile temp;
  std::string tempPath;
  int error = CreateTemporary(target, mode, true, temp, tempPath);
  // No new file may be made in the directory, but the file itself is writable.
  if (existed && IsCreationRefused(error) && ::access(target.c_str(), W_OK) == 0)
    return RewriteInPlace(target, data, written);
  if (error != 0) return OsError("cannot create a file beside", target, error);

  error = FillTemporary(temp, data, like, written);
  if (error == 0 && tempPath.empty() && NameTemporary(target, temp, tempPath) != 0) {
    // No way to name an unnamed file here (no /proc): write a named one instead.
    error = CreateTemporary(target, mode, false, temp, tempPath);
    if (error == 0) error = FillTemporary(temp, data, like, written);
  }
  const int closeError = temp.Close();
  if (error == 0) error = closeError;
  if (error == 0) error = fileSystem.Rename(tempPath, target);
  if (error != 0) {
    if (!tempPath.empty()) (void)fileSystem.Remove(tempPath);
    return OsError("cannot write", target, error);
  }
  // The rename itself is durable only once the directory is flushed.
  const int directory = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_CLOEXEC);
  if (directory >= 0) {
    (void)::fsync(directory);
    ::close(directory);
  }
  return Status::Ok();
}

// A live writer keeps its temporary locked.
void RemoveStaleTemporaries(const std::string& target) {
  const std::string directory = DirectoryOf(target);
  const std::string prefix = TemporaryPrefix(target);
  std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(directory.c_str()), ::closedir);
  if (!listing) return;
  FileSystem& fileSystem = FileSystem::Current();
  const std::time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(listing.get())) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const pid_t writer = WriterOf(name, prefix.size());
    if (writer <= 0) continue;
    const std::string path = directory + "/" + name;
    OpenFile file;
    if (fileSystem.Open(path, FileSystem::OpenKind::kRead, 0, file.Receive()) != 0) continue;
    if (fileSystem.TryLock(file.get()) != 0) continue;  // its writer is still at work
    struct stat info;
    if (::fstat(static_cast<int>(file.get()), &info) != 0) continue;
    // Unlocked but its writer lives: it may be between creating and locking it.
    if (ProcessLives(writer) && now - info.st_mtime < kStaleTemporarySeconds) continue;
    (void)fileSystem.Remove(path);
  }
}

Status OpenWholeFile(const std::string& path, OpenFile& file, FileStamp& stamp) {
  const int error = FileSystem::Current().Open(path, FileSystem::OpenKind::kRead, 0, file.Receive());
  if (error != 0) return OsError("cannot open", path, error);
  struct stat info;
  if (::fstat(static_cast<int>(file.get()), &info) != 0) return OsError("cannot open", path, errno);
  if (S_ISDIR(info.st_mode)) return OsError("cannot read", path, EISDIR);
  stamp = StampOf(info);
  return Status::Ok();
}

int StampOpenFile(const OpenFile& file, FileStamp& stamp) {
  struct stat info;
  if (::fstat(static_cast<int>(file.get()), &info) != 0) return errno;
  stamp = StampOf(info);
  return 0;
}

}  // namespace platform
}  // namespace dezov
