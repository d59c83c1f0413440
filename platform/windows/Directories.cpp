// Current directory, path joining and existence checks on Windows.
#include <windows.h>

#include <io.h>

#include "../Platform.h"

namespace dezov {
namespace platform {

// The ANSI API's limit: a longer current directory is refused rather than cut.
constexpr DWORD kDirectoryBufferSize = MAX_PATH;

Status CurrentDirectory(std::string& directory) {
  char buffer[kDirectoryBufferSize];
  const DWORD length = ::GetCurrentDirectoryA(kDirectoryBufferSize, buffer);
  // 0 is a failure; a value >= the buffer size is the size the path would need.
  if (length == 0) return OsError("cannot read the current directory", ".", ::GetLastError());
  if (length >= kDirectoryBufferSize)
    return OsError("cannot read the current directory", ".", ERROR_FILENAME_EXCED_RANGE);
  directory.assign(buffer, length);
  return Status::Ok();
}

char PathSeparator() { return '\\'; }

bool NewFilesUseCrLf() { return true; }

std::string JoinDirectory(const std::string& directory, const std::string& name) {
  return directory + PathSeparator() + name;
}

bool FileExists(const std::string& path) { return ::_access(path.c_str(), 0) == 0; }

}  // namespace platform
}  // namespace dezov
