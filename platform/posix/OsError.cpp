// SPDX-License-Identifier: MIT
// Status from an errno value, and the errno values the portable code tells apart.
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

bool IsInterrupted(int osError) { return osError == EINTR; }

// An interrupted attempt is simply made again, like one that found the lock held.
bool IsLockBusy(int osError) {
  return osError == EWOULDBLOCK || osError == EAGAIN || osError == EINTR;
}

bool IsMissing(int osError) { return osError == ENOENT; }

bool IsNameTaken(int osError) { return osError == EEXIST; }

bool IsRefused(int osError) { return osError == EACCES || osError == EPERM; }

// EISDIR and EINVAL: kernels and file systems without unnamed temporary files.
bool IsUnsupported(int osError) {
  return osError == EOPNOTSUPP || osError == ENOTSUP || osError == ENOSYS || osError == EISDIR ||
         osError == EINVAL;
}

bool IsLockFileBusy(int) { return false; }

int NoProgressError() { return EIO; }

}  // namespace platform
}  // namespace dezov
