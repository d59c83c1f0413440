// SPDX-License-Identifier: MIT
// The Win32 calls behind FileSystem::Default(): the only place where the
// library calls the system for files.
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

// A handle closed when it goes out of scope, for a moment's look at a file.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() {
    if (valid()) ::CloseHandle(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

std::uint64_t Join(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

// What an open handle describes; symlink when it is a link opened as itself.
int Describe(HANDLE handle, bool asLink, FileInfo& info) {
  BY_HANDLE_FILE_INFORMATION data;
  if (!::GetFileInformationByHandle(handle, &data)) return LastError();
  const DWORD attributes = data.dwFileAttributes;
  bool link = false;
  if (asLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // Symbolic links and junctions only; other reparse points are files.
    FILE_ATTRIBUTE_TAG_INFO tag;
    link = !::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
           tag.ReparseTag == IO_REPARSE_TAG_SYMLINK || tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT;
  }
  info.type = link ? FileInfo::Type::kSymlink
              : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileInfo::Type::kDirectory
                                                             : FileInfo::Type::kRegular;
  // The read-only attribute is the only part of a mode Windows keeps.
  info.mode = (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444u : 0666u;
  info.owner = info.group = -1;
  info.device = data.dwVolumeSerialNumber;
  info.inode = Join(data.nFileIndexHigh, data.nFileIndexLow);
  info.size = Join(data.nFileSizeHigh, data.nFileSizeLow);
  info.links = data.nNumberOfLinks;
  info.modifiedNs = static_cast<std::int64_t>(
                        Join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime)) *
                    100;
  return 0;
}

int DescribePath(const std::string& path, bool asLink, FileInfo& info) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (asLink ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  const ScopedHandle file(
      ::CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr));
  if (!file.valid()) return LastError();
  return Describe(file.get(), asLink, info);
}

int SetInformation(NativeFile file, FILE_INFO_BY_HANDLE_CLASS kind, void* data, DWORD size) {
  return ::SetFileInformationByHandle(Handle(file), kind, data, size) ? 0 : LastError();
}

// ReplaceFileA of an existing file to by from, keeping to's security and
// attributes. The old file is moved aside under a backup name (so that no
// failure part way loses it) and deleted once the new one is in place; a
// failure puts it back. ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 says that even that
// failed and the old content is under the backup name (from + ".old").
int ReplaceExisting(const std::string& from, const std::string& to, DWORD oldAttributes) {
  const std::string backup = from + ".old";
  if (::ReplaceFileA(to.c_str(), from.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr)) {
    // The new file is in place: a backup that cannot go now holds only the
    // replaced content, and attributes not carried over are set again where
    // allowed; neither makes the replacement untrue.
    static_cast<void>(::DeleteFileA(backup.c_str()));
    const DWORD settable = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD now = ::GetFileAttributesA(to.c_str());
    if (now != INVALID_FILE_ATTRIBUTES && (oldAttributes & ~now & settable) != 0)
      static_cast<void>(
          ::SetFileAttributesA(to.c_str(), (now & settable) | (oldAttributes & settable)));
    return 0;
  }
  const int error = LastError();
  if (::GetFileAttributesA(to.c_str()) == INVALID_FILE_ATTRIBUTES &&
      ::GetFileAttributesA(backup.c_str()) != INVALID_FILE_ATTRIBUTES &&
      !::MoveFileExA(backup.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH))
    return ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
  static_cast<void>(::DeleteFileA(backup.c_str()));  // nothing was moved aside, or it is back
  return error;
}

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
      case OpenKind::kWriteExisting:
        access = GENERIC_WRITE;
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        attributes |= FILE_FLAG_OPEN_REPARSE_POINT;
        break;
      case OpenKind::kCreateNew:
        access = GENERIC_WRITE | DELETE;
        share = 0;
        disposition = CREATE_NEW;
        break;
      case OpenKind::kCreateUnnamed:
        return ERROR_NOT_SUPPORTED;
      case OpenKind::kCreateLockFile:
      case OpenKind::kLockFile:
        // Gone when its last handle closes, also when its holder dies.
        access = GENERIC_READ | DELETE;
        disposition = kind == OpenKind::kCreateLockFile ? CREATE_NEW : OPEN_EXISTING;
        attributes = FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT;
        break;
      case OpenKind::kLockExisting:
        attributes |= FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
        break;
    }
    if (disposition != OPEN_EXISTING && (mode & 0222) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
    HANDLE handle = ::CreateFileA(path.c_str(), access, share, nullptr, disposition, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE && kind == OpenKind::kLockExisting &&
        ::GetLastError() == ERROR_ACCESS_DENIED)
      handle = ::CreateFileA(path.c_str(), GENERIC_WRITE, share, nullptr, disposition, attributes,
                             nullptr);
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

  int Reserve(NativeFile file, std::uint64_t size) override {
    FILE_ALLOCATION_INFO allocation;
    allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
    return SetInformation(file, FileAllocationInfo, &allocation, sizeof allocation);
  }

  int Resize(NativeFile file, std::uint64_t size) override {
    FILE_END_OF_FILE_INFO end;
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return SetInformation(file, FileEndOfFileInfo, &end, sizeof end);
  }

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

  int Stat(const std::string& path, FileInfo& info) override {
    return DescribePath(path, false, info);
  }

  int Lstat(const std::string& path, FileInfo& info) override {
    return DescribePath(path, true, info);
  }

  int Fstat(NativeFile file, FileInfo& info) override { return Describe(Handle(file), true, info); }

  int ReadLink(const std::string& path, std::string& target) override {
    const ScopedHandle file(::CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) return LastError();
    std::string resolved(MAX_PATH, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
      const DWORD length = ::GetFinalPathNameByHandleA(file.get(), &resolved[0],
                                                       static_cast<DWORD>(resolved.size()), 0);
      if (length == 0) return LastError();
      if (length < resolved.size()) {
        resolved.resize(length);
        // The answer carries the \\?\ prefix; plain paths work with every ANSI call.
        if (resolved.rfind("\\\\?\\UNC\\", 0) == 0) resolved = "\\\\" + resolved.substr(8);
        else if (resolved.rfind("\\\\?\\", 0) == 0) resolved = resolved.substr(4);
        target.swap(resolved);
        return 0;
      }
      resolved.assign(length + 1, '\0');
    }
    return ERROR_FILENAME_EXCED_RANGE;
  }

  int CheckWritable(const std::string& path) override {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? ERROR_ACCESS_DENIED : 0;
  }

  // Never called: files here carry no POSIX owner or mode (FilesCarryPosixModes).
  int ChangeOwner(NativeFile, long, long) override { return ERROR_NOT_SUPPORTED; }
  int ChangeMode(NativeFile, unsigned) override { return ERROR_NOT_SUPPORTED; }

  int ListDirectory(const std::string& directory, std::vector<std::string>& names) override {
    const char last = directory.empty() ? '\\' : directory.back();
    const std::string pattern =
        directory + (last == '\\' || last == '/' || last == ':' ? "*" : "\\*");
    WIN32_FIND_DATAA found;
    const HANDLE search = ::FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return LastError();
    std::vector<std::string> listed;
    int error = 0;
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") listed.push_back(name);
    } while (::FindNextFileA(search, &found));
    if (::GetLastError() != ERROR_NO_MORE_FILES) error = LastError();
    if (!::FindClose(search) && error == 0) error = LastError();
    if (error == 0) names.swap(listed);
    return error;
  }

  // Renames are written through (MOVEFILE_WRITE_THROUGH, ReplaceFileA): there
  // is no directory to flush.
  int SyncDirectory(const std::string&) override { return 0; }

  int ProcessLives(long pid, bool& lives) override {
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) {
      const DWORD error = ::GetLastError();
      if (error != ERROR_ACCESS_DENIED && error != ERROR_INVALID_PARAMETER) return LastError();
      lives = error == ERROR_ACCESS_DENIED;  // another user's process
      return 0;
    }
    const DWORD state = ::WaitForSingleObject(process, 0);
    const int error = state == WAIT_FAILED ? LastError() : 0;
    ::CloseHandle(process);
    lives = state == WAIT_TIMEOUT;
    return error;
  }

  int LinkUnnamed(NativeFile, const std::string&) override { return ERROR_NOT_SUPPORTED; }

  int Link(const std::string& from, const std::string& to) override {
    return ::CreateHardLinkA(to.c_str(), from.c_str(), nullptr) ? 0 : LastError();
  }

  int Rename(const std::string& from, const std::string& to) override {
    const DWORD oldAttributes = ::GetFileAttributesA(to.c_str());
    int replaceError = 0;
    if (oldAttributes != INVALID_FILE_ATTRIBUTES) {
      replaceError = ReplaceExisting(from, to, oldAttributes);
      if (replaceError == 0 || replaceError == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        return replaceError;
    }
    // No old file, or a file system without ReplaceFileA: a rename replaces atomically too.
    if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return 0;
    return replaceError != 0 ? replaceError : LastError();
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
