// The Windows side of whole-file reads and crash-safe replacement: temporary
// files, ReplaceFileA, stamps. The portable steps are in ../FileReplace.cpp.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <random>

#include "WindowsFiles.h"

namespace dezov {
namespace platform {
namespace {

bool IsDirectory(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::size_t NameStart(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? 0 : cut + 1;
}

std::string TemporaryPrefix(const std::string& target) {
  const std::size_t start = NameStart(target);
  return target.substr(0, start) + "." + target.substr(start) + ".tmp";
}

// A new, empty file with a unique name next to target; its name in tempPath.
int CreateTemporary(const std::string& target, unsigned mode, OpenFile& temp,
                    std::string& tempPath) {
  int error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < 100 && error == ERROR_FILE_EXISTS; ++attempt) {
    tempPath = NewTemporaryName(target);
    error = FileSystem::Current().Open(tempPath, FileSystem::OpenKind::kCreateNew, mode,
                                       temp.Receive());
    if (error == ERROR_ALREADY_EXISTS) error = ERROR_FILE_EXISTS;
  }
  if (error != 0) tempPath.clear();
  return error;
}

// ReplaceFileA of an existing target, keeping its security and attributes.
// The old file is moved aside under `backup` (so that no failure part way
// loses it) and deleted once the new one is in place. A failure puts the old
// file back under its name; only if even that fails is it left under
// `backup`, which `note` then tells.
bool ReplaceExisting(const std::string& tempPath, const std::string& target, DWORD& why,
                     std::string& note) {
  const std::string backup = tempPath + ".old";
  if (::ReplaceFileA(target.c_str(), tempPath.c_str(), backup.c_str(),
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    ::DeleteFileA(backup.c_str());
    return true;
  }
  why = ::GetLastError();
  if (!Exists(target) && Exists(backup) &&
      !::MoveFileExA(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
    note = "; the old content is kept in '" + backup + "'";
    return false;
  }
  ::DeleteFileA(backup.c_str());
  return false;
}

// Puts the written temporary file in the target's place: ReplaceFileA where
// there is an old file, else (and on file systems without ReplaceFileA) the
// rename, which replaces atomically too. Attributes the old file had are set
// again where they were not carried over.
bool MoveIntoPlace(const std::string& tempPath, const std::string& target, DWORD oldAttributes,
                   DWORD& why, std::string& note) {
  const bool existed = oldAttributes != INVALID_FILE_ATTRIBUTES;
  if (!(existed && ReplaceExisting(tempPath, target, why, note))) {
    if (!note.empty()) return false;
    const int error = FileSystem::Current().Rename(tempPath, target);
    if (error != 0) {
      if (!existed) why = static_cast<DWORD>(error);
      return false;
    }
  }
  const DWORD settable = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  const DWORD now = ::GetFileAttributesA(target.c_str());
  if (existed && now != INVALID_FILE_ATTRIBUTES && (oldAttributes & ~now & settable) != 0)
    (void)::SetFileAttributesA(target.c_str(), (now & settable) | (oldAttributes & settable));
  return true;
}

// Whether the process named in a temporary's name still runs. A live writer
// also holds its file unshared, which alone stops the deletion; this covers the
// moment between closing the file and moving it into place.
bool WriterLives(const std::string& name, std::size_t nameStart) {
  const DWORD pid = static_cast<DWORD>(std::strtoul(name.c_str() + nameStart, nullptr, 10));
  const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (process == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED;
  const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

}  // namespace

std::string NewTemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  thread_local std::minstd_rand random{std::random_device{}()};
  return TemporaryPrefix(target) + std::to_string(::GetCurrentProcessId()) + "-" +
         std::to_string(counter++) + "-" + std::to_string(random() % 1000000);
}

std::string FinalTarget(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return path;
  const HANDLE file = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return path;
  char resolved[MAX_PATH + 16];
  const DWORD length = ::GetFinalPathNameByHandleA(file, resolved, sizeof resolved, 0);
  ::CloseHandle(file);
  if (length == 0 || length >= sizeof resolved) return path;
  std::string target(resolved, length);
  // The answer carries the \\?\ prefix; plain paths work with every ANSI call.
  if (target.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + target.substr(8);
  if (target.rfind("\\\\?\\", 0) == 0) return target.substr(4);
  return target;
}

bool StampOfHandle(HANDLE file, FileStamp& stamp) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(file, &info)) return false;
  stamp.exists = true;
  stamp.device = info.dwVolumeSerialNumber;
  stamp.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  const std::int64_t ticks =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                info.ftLastWriteTime.dwLowDateTime);
  stamp.modifiedNs = ticks * 100;
  return true;
}

Status ReplaceResolved(const std::string& target, const std::string& data, FileStamp* written) {
  const DWORD oldAttributes = ::GetFileAttributesA(target.c_str());
  const bool existed = oldAttributes != INVALID_FILE_ATTRIBUTES;
  if (IsDirectory(oldAttributes)) return OsError("cannot replace", target, ERROR_DIRECTORY);
  FileSystem& fileSystem = FileSystem::Current();
  OpenFile temp;
  std::string tempPath;
  int error = CreateTemporary(target, 0666, temp, tempPath);
  if (error != 0) {
    // No new file may be made in the directory, but the file itself may be writable.
    if (existed && error == ERROR_ACCESS_DENIED && !(oldAttributes & FILE_ATTRIBUTE_READONLY))
      return RewriteInPlace(target, data, written);
    return OsError("cannot create a file beside", target, error);
  }
  error = FillFile(temp, data, nullptr);
  const int closeError = temp.Close();
  if (error == 0) error = closeError;
  DWORD why = static_cast<DWORD>(error);
  std::string note;
  if (error != 0 || !MoveIntoPlace(tempPath, target, oldAttributes, why, note)) {
    (void)fileSystem.Remove(tempPath);
    return Status::IOError(OsError("cannot write", target, static_cast<int>(why)).message() + note);
  }
  if (written != nullptr) return StampFile(target, *written);
  return Status::Ok();
}

// A live writer holds its temporary open without sharing, so it cannot be deleted.
void RemoveStaleTemporaries(const std::string& target) {
  const std::string prefix = TemporaryPrefix(target);
  const std::string directory = target.substr(0, NameStart(target));
  WIN32_FIND_DATAA found;
  const HANDLE search = ::FindFirstFileA((prefix + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  const std::size_t nameStart = prefix.size() - directory.size();
  do {
    const std::string name = found.cFileName;
    // Only "<prefix><digits>-<digits>-<digits>": never a ".old" copy kept after a failure.
    int dashes = 0;
    bool digit = false, shaped = name.size() > nameStart;
    for (std::size_t i = nameStart; shaped && i < name.size(); ++i) {
      if (name[i] >= '0' && name[i] <= '9') {
        digit = true;
      } else if (name[i] == '-' && digit && dashes < 2) {
        ++dashes;
        digit = false;
      } else {
        shaped = false;
      }
    }
    if (shaped && dashes == 2 && digit && !WriterLives(name, nameStart))
      (void)FileSystem::Current().Remove(directory + name);
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
}

Status OpenWholeFile(const std::string& path, OpenFile& file, FileStamp& stamp) {
  // Checked first: opening a directory as a file fails with a less telling error.
  if (IsDirectory(::GetFileAttributesA(path.c_str())))
    return OsError("cannot read", path, ERROR_DIRECTORY);
  int error = FileSystem::Current().Open(path, FileSystem::OpenKind::kRead, 0, file.Receive());
  if (error == 0) error = StampOpenFile(file, stamp);
  return error == 0 ? Status::Ok() : OsError("cannot open", path, error);
}

int StampOpenFile(const OpenFile& file, FileStamp& stamp) {
  return StampOfHandle(HandleOf(file), stamp) ? 0 : static_cast<int>(::GetLastError());
}

}  // namespace platform
}  // namespace dezov
