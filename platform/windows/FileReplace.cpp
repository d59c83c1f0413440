// Whole-file reads and crash-safe whole-file replacement on Windows.
#include <windows.h>

#include <atomic>
#include <random>

#include "../Platform.h"

namespace dezov {
namespace platform {
namespace {

// The system's text for a Win32 error code, in English where the system has it.
std::string SystemMessage(DWORD code) {
  char text[512];
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD length = ::FormatMessageA(flags, nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                  text, sizeof text, nullptr);
  if (length == 0) length = ::FormatMessageA(flags, nullptr, code, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(code) : message;
}

std::string ErrorText(const char* what, const std::string& path, DWORD code) {
  return std::string(what) + " '" + path + "': " + SystemMessage(code);
}

// An open file handle that is closed when it goes out of scope.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (valid()) ::CloseHandle(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  // Closes now and reports whether the close succeeded.
  bool Close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return ::CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool WriteAll(HANDLE file, const std::string& data) {
  const char* next = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!::WriteFile(file, next, chunk, &written, nullptr) || written == 0) return false;
    next += written;
    left -= written;
  }
  return true;
}

bool IsDirectory(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Follows a symbolic link or junction to the file that is really written.
std::string FinalTarget(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return path;
  FileHandle file(::CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  char resolved[MAX_PATH + 16];
  const DWORD length =
      file.valid() ? ::GetFinalPathNameByHandleA(file.get(), resolved, sizeof resolved, 0) : 0;
  if (length == 0 || length >= sizeof resolved) return path;
  std::string target(resolved, length);
  // The answer carries the \\?\ prefix; plain paths work with every ANSI call.
  if (target.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + target.substr(8);
  if (target.rfind("\\\\?\\", 0) == 0) return target.substr(4);
  return target;
}

// A new, empty file with a unique name next to target; its name in tempPath.
HANDLE CreateTempBeside(const std::string& target, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  std::random_device entropy;
  const std::size_t cut = target.find_last_of("\\/:");
  const std::string directory = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
  const std::string base = cut == std::string::npos ? target : target.substr(cut + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = directory + "." + base + ".tmp" + std::to_string(::GetCurrentProcessId()) + "-" +
               std::to_string(counter++) + "-" + std::to_string(entropy() % 1000000);
    const HANDLE file = ::CreateFileA(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD why = ::GetLastError();
    if (file != INVALID_HANDLE_VALUE || (why != ERROR_FILE_EXISTS && why != ERROR_ALREADY_EXISTS))
      return file;
  }
  return INVALID_HANDLE_VALUE;
}

bool RewriteInPlace(const std::string& target, const std::string& data, std::string& error) {
  FileHandle file(::CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    error = ErrorText("cannot open for writing", target, ::GetLastError());
    return false;
  }
  if (!WriteAll(file.get(), data) || !::FlushFileBuffers(file.get()) || !file.Close()) {
    error = ErrorText("cannot write", target, ::GetLastError());
    return false;
  }
  return true;
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
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
    if (!::MoveFileExA(tempPath.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      if (!existed) why = ::GetLastError();
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

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& data, std::string& error) {
  if (IsDirectory(::GetFileAttributesA(path.c_str()))) {
    error = "cannot read '" + path + "': it is a directory";
    return false;
  }
  FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    error = ErrorText("cannot open", path, ::GetLastError());
    return false;
  }
  std::string content;
  LARGE_INTEGER size;
  if (::GetFileSizeEx(file.get(), &size) && size.QuadPart > 0 && size.QuadPart < (1LL << 31))
    content.reserve(static_cast<std::size_t>(size.QuadPart));
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
      error = ErrorText("cannot read", path, ::GetLastError());
      return false;
    }
    if (got == 0) break;
    content.append(buffer, got);
  }
  data.swap(content);
  return true;
}

bool CreateEmptyFile(const std::string& path) {
  FileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid() && file.Close();
}

bool ReplaceFileContents(const std::string& path, const std::string& data, std::string& error) {
  if (path.empty()) {
    error = "cannot write a file without a name";
    return false;
  }
  const std::string target = FinalTarget(path);
  const DWORD oldAttributes = ::GetFileAttributesA(target.c_str());
  const bool existed = oldAttributes != INVALID_FILE_ATTRIBUTES;
  if (IsDirectory(oldAttributes)) {
    error = "cannot replace '" + target + "': it is a directory";
    return false;
  }
  std::string tempPath;
  FileHandle temp(CreateTempBeside(target, tempPath));
  if (!temp.valid()) {
    const DWORD why = ::GetLastError();
    // No new file may be made in the directory, but the file itself may be writable.
    if (existed && why == ERROR_ACCESS_DENIED && !(oldAttributes & FILE_ATTRIBUTE_READONLY))
      return RewriteInPlace(target, data, error);
    error = ErrorText("cannot create a file beside", target, why);
    return false;
  }
  bool ok = WriteAll(temp.get(), data) && ::FlushFileBuffers(temp.get());
  DWORD why = ok ? 0 : ::GetLastError();
  if (!temp.Close() && ok) {
    ok = false;
    why = ::GetLastError();
  }
  std::string note;
  if (!ok || !MoveIntoPlace(tempPath, target, oldAttributes, why, note)) {
    error = ErrorText("cannot write", target, why) + note;
    ::DeleteFileA(tempPath.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
}  // namespace dezov
