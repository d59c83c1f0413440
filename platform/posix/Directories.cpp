#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "../Platform.h"

namespace dezov {
namespace platform {

bool CurrentDirectory(std::string& directory) {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return false;
    buffer.resize(buffer.size() * 2);
  }
  directory = buffer.data();
  return true;
}

char PathSeparator() { return '/'; }

std::string JoinDirectory(const std::string& directory, const std::string& name) {
  return directory + PathSeparator() + name;
}

bool FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace platform
}  // namespace dezov
