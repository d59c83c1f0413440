// The Win32 calls behind FileSystem::Default().
#include "../FileSystem.h"

#include <windows.h>

namespace dezov {
namespace platform {
namespace {

HANDLE Handle(NativeFile file) { return reinterpret_cast<HANDLE>(file); }

int LastError() {
  const DWORD error = ::GetLastError();
  return error == 0 ? ERROR_GEN_FAILURE : static_cast<int>(error);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class WindowsFileSystem : public FileSystem {
 public:
  int Open(const std::string& path, OpenKind kind, unsigned mode, NativeFile& file) override {
    DWORD access = GENERIC_READ;
    DWORD share = kShareAll;
    DWORD disposition = OPEN_EXISTING;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    switch (kind) {
      case OpenKind::kRead:
        break;
      case OpenKind::kRewrite:
        access = GENERIC_WRITE;
        share = FILE_SHARE_READ;
        disposition = TRUNCATE_EXISTING;
        break;
      case OpenKind::kCreateNew:
        access = GENERIC_WRITE | DELETE;
        share = 0;
        disposition = CREATE_NEW;
        break;
      case OpenKind::kCreateUnnamed:
        return ERROR_NOT_SUPPORTED;
      case OpenKind::kLockFile:
        disposition = OPEN_ALWAYS;
        attributes = FILE_ATTRIBUTE_HIDDEN;
        break;
    }
    // The read-only attribute is the only part of a mode Windows keeps.
    if (disposition != OPEN_EXISTING && disposition != TRUNCATE_EXISTING && (mode & 0222) == 0)
      attributes |= FILE_ATTRIBUTE_READONLY;
    const HANDLE handle =
        ::CreateFileA(path.c_str(), access, share, nullptr, disposition, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    file = reinterpret_cast<NativeFile>(handle);
    return 0;
  }

  int Close(NativeFile file) override { return ::CloseHandle(Handle(file)) ? 0 : LastError(); }

  int Read(NativeFile file, char* buffer, std::size_t size, std::size_t& got) override {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD read = 0;
    if (!::ReadFile(Handle(file), buffer, chunk, &read, nullptr)) return LastError();
    got = read;
    return 0;
  }

  int Write(NativeFile file, const char* data, std::size_t size, std::size_t& written) override {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD wrote = 0;
    if (!::WriteFile(Handle(file), data, chunk, &wrote, nullptr)) return LastError();
    written = wrote;
    return 0;
  }

  int Sync(NativeFile file) override { return ::FlushFileBuffers(Handle(file)) ? 0 : LastError(); }

  int TryLock(NativeFile file) override {
    // A byte far past any real file's end: Windows byte-range locks are
    // mandatory, so a lock on the data itself would block the in-place rewrite.
    OVERLAPPED at = {};
    at.OffsetHigh = 0x7FFFFFFF;
    if (::LockFileEx(Handle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                     &at))
      return 0;
    return LastError();
  }

  int LinkUnnamed(NativeFile, const std::string&) override { return ERROR_NOT_SUPPORTED; }

  int Link(const std::string& from, const std::string& to) override {
    return ::CreateHardLinkA(to.c_str(), from.c_str(), nullptr) ? 0 : LastError();
  }

  int Rename(const std::string& from, const std::string& to) override {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : LastError();
  }

  int Remove(const std::string& path) override {
    return ::DeleteFileA(path.c_str()) ? 0 : LastError();
  }

  void Sleep(int milliseconds) override { ::Sleep(static_cast<DWORD>(milliseconds)); }
};

}  // namespace

FileSystem& FileSystem::Default() {
  static WindowsFileSystem fileSystem;
  return fileSystem;
}

}  // namespace platform
}  // namespace dezov
