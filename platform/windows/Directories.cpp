// Current directory, path joining and existence checks on Windows.
#include <windows.h>

#include <io.h>

#include "../Platform.h"

namespace dezov {
namespace platform {

// The ANSI API's limit: a longer current directory is refused rather than cut.
constexpr DWORD kDirectoryBufferSize = MAX_PATH;

bool CurrentDirectory(std::string& directory) {
  char buffer[kDirectoryBufferSize];
  const DWORD length = ::GetCurrentDirectoryA(kDirectoryBufferSize, buffer);
  // 0 is a failure; a value >= the buffer size is the size the path would need.
  if (length == 0 || length >= kDirectoryBufferSize) return false;
  directory.assign(buffer, length);
  return true;
}

char PathSeparator() { return '\\'; }

std::string JoinDirectory(const std::string& directory, const std::string& name) {
  return directory + PathSeparator() + name;
}

bool FileExists(const std::string& path) { return ::_access(path.c_str(), 0) == 0; }

}  // namespace platform
}  // namespace dezov
