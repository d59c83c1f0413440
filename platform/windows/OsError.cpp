// Status from a GetLastError() value.
#include <windows.h>

#include "../Status.h"

namespace dezov {
namespace platform {

Status OsError(const char* what, const std::string& path, int osError) {
  char buffer[512] = {0};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, static_cast<DWORD>(osError), 0, buffer,
                                      sizeof buffer, nullptr);
  std::string reason(buffer, length);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
    reason.pop_back();
  if (reason.empty()) reason = "error " + std::to_string(osError);
  std::string message = std::string(what) + " '" + path + "': " + reason;
  switch (osError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return Status::NotFound(std::move(message));
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return Status::AlreadyExists(std::move(message));
    case ERROR_LOCK_VIOLATION:
    case ERROR_SHARING_VIOLATION:
      return Status::Locked(std::move(message));
    default:
      return Status::IOError(std::move(message));
  }
}

}  // namespace platform
}  // namespace dezov
