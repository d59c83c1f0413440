// The seam between the platform layer and the operating system's file calls.
// Every file the library touches is opened, read, written, locked, renamed and
// removed through FileSystem::Current(); tests install a wrapper that injects
// faults (short writes, a full disk, interrupted calls, a held lock) without
// needing a special file system or root. Results are OS error numbers (errno
// on POSIX, GetLastError() codes on Windows), 0 for success.
#ifndef DEZOV20_PLATFORM_FILESYSTEM_H
#define DEZOV20_PLATFORM_FILESYSTEM_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace dezov {
namespace platform {

// A file descriptor (POSIX) or HANDLE (Windows), as an integer.
using NativeFile = std::intptr_t;
constexpr NativeFile kNoFile = -1;

class FileSystem {
 public:
  enum class OpenKind {
    kRead,           // an existing file, for reading
    kRewrite,        // an existing file, for writing, truncated to nothing
    kCreateNew,      // a new file; fails when the name is taken
    kCreateUnnamed,  // a new file without a name, in directory path; may be unsupported
    kLockFile,       // opened or created, only to be locked
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
  // Takes an exclusive lock on the whole file without waiting; a lock held by
  // another open file gives the OS's "would block" code. Closing releases it.
  virtual int TryLock(NativeFile file) = 0;
  // Gives an unnamed file (kCreateUnnamed) the name path; fails when taken.
  virtual int LinkUnnamed(NativeFile file, const std::string& path) = 0;
  // Hard link: a second name for the file at from; fails when to is taken.
  virtual int Link(const std::string& from, const std::string& to) = 0;
  // Renames from to to, atomically replacing a file there.
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  virtual int Remove(const std::string& path) = 0;
  // Waits before the next attempt to take a lock.
  virtual void Sleep(int milliseconds) = 0;
};

// Passes every call to another instance; tests derive from it and override
// the calls they break (as LevelDB's EnvWrapper).
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem& target) : target_(target) {}
  int Open(const std::string& path, OpenKind kind, unsigned mode, NativeFile& file) override {
    return target_.Open(path, kind, mode, file);
  }
  int Close(NativeFile file) override { return target_.Close(file); }
  int Read(NativeFile file, char* buffer, std::size_t size, std::size_t& got) override {
    return target_.Read(file, buffer, size, got);
  }
  int Write(NativeFile file, const char* data, std::size_t size, std::size_t& written) override {
    return target_.Write(file, data, size, written);
  }
  int Sync(NativeFile file) override { return target_.Sync(file); }
  int TryLock(NativeFile file) override { return target_.TryLock(file); }
  int LinkUnnamed(NativeFile file, const std::string& path) override {
    return target_.LinkUnnamed(file, path);
  }
  int Link(const std::string& from, const std::string& to) override {
    return target_.Link(from, to);
  }
  int Rename(const std::string& from, const std::string& to) override {
    return target_.Rename(from, to);
  }
  int Remove(const std::string& path) override { return target_.Remove(path); }
  void Sleep(int milliseconds) override { target_.Sleep(milliseconds); }

 protected:
  FileSystem& target() { return target_; }

 private:
  FileSystem& target_;
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
class OpenFile {
 public:
  explicit OpenFile(NativeFile file = kNoFile) : file_(file) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (file_ != kNoFile) (void)FileSystem::Current().Close(file_);
  }
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
  void Reset() { (void)Close(); }

 private:
  NativeFile file_;
};

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_FILESYSTEM_H
