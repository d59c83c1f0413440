#include <sys/stat.h>
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

std::string JoinDirectory(const std::string& directory, const std::string& name) {
  return directory + PathSeparator() + name;
}

bool FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace platform
}  // namespace dezov
