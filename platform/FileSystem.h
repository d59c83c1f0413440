// SPDX-License-Identifier: MIT
// The seam between the platform layer and the operating system's file calls.
// Every file the library touches is examined, opened, read, written, locked,
// linked, renamed and removed through FileSystem::Current(), and so is every
// directory it lists or flushes; tests install a wrapper that injects faults
// (short writes, a full disk, interrupted calls, a held lock, any call
// failing) without needing a special file system or root. Results are OS
// error numbers (errno on POSIX, GetLastError() codes on Windows), 0 for
// success; what the portable code tells apart in them is in Status.h.
#ifndef DEZOV20_PLATFORM_FILESYSTEM_H
#define DEZOV20_PLATFORM_FILESYSTEM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dezov {
namespace platform {

// A file descriptor (POSIX) or HANDLE (Windows), as an integer.
using NativeFile = std::intptr_t;
constexpr NativeFile kNoFile = -1;

// What the save protocol needs to know of a file. Windows fills mode from the
// read-only attribute (0444 or 0666) and has no owner or group (-1).
struct FileInfo {
  enum class Type { kRegular, kDirectory, kSymlink, kOther };
  Type type = Type::kOther;
  unsigned mode = 0;  // permission bits, 07777
  long owner = -1, group = -1;
  std::uint64_t device = 0, inode = 0, size = 0, links = 0;
  std::int64_t modifiedNs = 0;
};

// Whether a and b describe the same file (device and inode).
inline bool SameFile(const FileInfo& a, const FileInfo& b) {
  return a.device == b.device && a.inode == b.inode;
}

class FileSystem {
 public:
  enum class OpenKind {
    kRead,             // an existing file (links followed), for reading
    kWriteExisting,    // an existing file, never a link, for writing; nothing is truncated
    kCreateNew,        // a new file, for writing; fails when the name is taken, even by a link
    kCreateUnnamed,    // a new file without a name, in directory path; may be unsupported
    kCreateLockFile,   // a new lock file, that others may open too; fails when the name is taken
    kLockFile,         // an existing lock file; never follows a link, never blocks
    kLockExisting,     // an existing file, never a link, only to be locked or examined; never
                       // blocks (read access, else write access)
  };

  virtual ~FileSystem() = default;

  // The operating system's own calls.
  static FileSystem& Default();
  // The instance the platform layer uses: Default() unless a test installed another.
  static FileSystem& Current();

  // Opens path (new files get mode, less the process's umask on POSIX).
  virtual int Open(const std::string& path, OpenKind kind, unsigned mode, NativeFile& file) = 0;
  virtual int Close(NativeFile file) = 0;
  // Reads at most size bytes; got == 0 at the end of the file.
  virtual int Read(NativeFile file, char* buffer, std::size_t size, std::size_t& got) = 0;
  // Writes at most size bytes; written may be fewer (the caller writes the rest).
  virtual int Write(NativeFile file, const char* data, std::size_t size, std::size_t& written) = 0;
  // Flushes the file's data to the device.
  virtual int Sync(NativeFile file) = 0;
  // Allocates room for the file's first size bytes, so that writing them cannot
  // fail for want of space (the file may grow to size); a full disk fails here.
  virtual int Reserve(NativeFile file, std::uint64_t size) = 0;
  // Cuts or extends the file to size bytes.
  virtual int Resize(NativeFile file, std::uint64_t size) = 0;
  // Takes an exclusive lock on the whole file without waiting; a lock held by
  // another open file gives the OS's "would block" code. Closing releases it.
  virtual int TryLock(NativeFile file) = 0;
  // What is at path, symbolic links followed.
  virtual int Stat(const std::string& path, FileInfo& info) = 0;
  // What is at path; a symbolic link is described itself.
  virtual int Lstat(const std::string& path, FileInfo& info) = 0;
  virtual int Fstat(NativeFile file, FileInfo& info) = 0;
  // The text of the symbolic link at path (Windows: the path it leads to in the end).
  virtual int ReadLink(const std::string& path, std::string& target) = 0;
  // 0 when this process may write the file at path.
  virtual int CheckWritable(const std::string& path) = 0;
  // Gives the open file an owner and group (-1 leaves one as it is).
  virtual int ChangeOwner(NativeFile file, long owner, long group) = 0;
  // Sets the open file's permission bits exactly (no umask).
  virtual int ChangeMode(NativeFile file, unsigned mode) = 0;
  // The names in directory, without "." and "..".
  virtual int ListDirectory(const std::string& directory, std::vector<std::string>& names) = 0;
  // Makes the directory's entries (a rename, a new name) durable.
  virtual int SyncDirectory(const std::string& directory) = 0;
  // Whether process pid still runs (one of another user counts as running).
  virtual int ProcessLives(long pid, bool& lives) = 0;
  // Gives an unnamed file (kCreateUnnamed) the name path; fails when taken.
  virtual int LinkUnnamed(NativeFile file, const std::string& path) = 0;
  // Hard link: a second name for the file at from; fails when to is taken.
  virtual int Link(const std::string& from, const std::string& to) = 0;
  // Renames from to to, atomically replacing a file there (Windows: keeping
  // the replaced file's security and attributes).
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  virtual int Remove(const std::string& path) = 0;
  // Waits before the next attempt to take a lock.
  virtual void Sleep(int milliseconds) = 0;
};

// For tests: makes fileSystem Current() for the life of the object (process
// wide; install it before starting threads that save).
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem& fileSystem);
  ~ScopedFileSystem();
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  FileSystem* previous_;
};

// An open file that is closed (through Current()) when it goes out of scope.
// Code that must know whether the close worked calls Close() itself.
class OpenFile {
 public:
  explicit OpenFile(NativeFile file = kNoFile) : file_(file) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  OpenFile(OpenFile&& other) noexcept : file_(other.file_) { other.file_ = kNoFile; }
  OpenFile& operator=(OpenFile&& other) noexcept {
    if (this != &other) {
      Reset();
      file_ = other.file_;
      other.file_ = kNoFile;
    }
    return *this;
  }
  ~OpenFile() { Reset(); }
  NativeFile get() const { return file_; }
  bool valid() const { return file_ != kNoFile; }
  // Where Open stores the new file (closing any file held before).
  NativeFile& Receive() {
    Reset();
    return file_;
  }
  // Closes now; the close's OS error number, 0 for success.
  int Close() {
    const NativeFile file = file_;
    file_ = kNoFile;
    return file == kNoFile ? 0 : FileSystem::Current().Close(file);
  }

 private:
  // For files whose close has nothing to report: read-only files, and files
  // given up after an earlier failure, which is what the caller reports.
  void Reset() {
    if (file_ != kNoFile) static_cast<void>(FileSystem::Current().Close(file_));
    file_ = kNoFile;
  }

  NativeFile file_;
};

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_FILESYSTEM_H
