// SPDX-License-Identifier: MIT
// Current directory and the parts of paths on POSIX systems.
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "../Platform.h"

namespace dezov {
namespace platform {

Status CurrentDirectory(std::string& directory) {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20))
      return OsError("cannot read the current directory", ".", errno);
    buffer.resize(buffer.size() * 2);
  }
  directory = buffer.data();
  return Status::Ok();
}

char PathSeparator() { return '/'; }

bool NewFilesUseCrLf() { return false; }

bool FilesCarryPosixModes() { return true; }

std::string JoinDirectory(const std::string& directory, const std::string& name) {
  return directory + PathSeparator() + name;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SiblingPath(const std::string& path, const std::string& name) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? name : path.substr(0, slash + 1) + name;
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

}  // namespace platform
}  // namespace dezov
