// Status from an errno value.
#include <cerrno>
#include <cstring>

#include "../Status.h"

namespace dezov {
namespace platform {

Status OsError(const char* what, const std::string& path, int osError) {
  std::string message = std::string(what) + " '" + path + "': " + std::strerror(osError);
  switch (osError) {
    case ENOENT:
      return Status::NotFound(std::move(message));
    case EEXIST:
      return Status::AlreadyExists(std::move(message));
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EDEADLK:
      return Status::Locked(std::move(message));
    default:
      return Status::IOError(std::move(message));
  }
}

}  // namespace platform
}  // namespace dezov
