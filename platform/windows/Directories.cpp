// SPDX-License-Identifier: MIT
// Current directory and the parts of paths on Windows.
#include <windows.h>

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

bool FilesCarryPosixModes() { return false; }

namespace {

// Where the last part of path starts.
std::size_t NameStart(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? 0 : cut + 1;
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
  const std::size_t start = NameStart(path);
  if (start == 0) return ".";
  const char cut = path[start - 1];
  // "C:" (the drive's current directory), "\\" and "C:\\" (roots) keep their separator.
  if (cut == ':' || start == 1 || (start == 3 && path[1] == ':')) return path.substr(0, start);
  return path.substr(0, start - 1);
}

std::string NameOf(const std::string& path) { return path.substr(NameStart(path)); }

std::string SiblingPath(const std::string& path, const std::string& name) {
  return path.substr(0, NameStart(path)) + name;
}

bool IsAbsolutePath(const std::string& path) {
  if (!path.empty() && (path[0] == '\\' || path[0] == '/')) return true;
  return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

}  // namespace platform
}  // namespace dezov
