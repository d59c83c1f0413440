// Status from a GetLastError() value, and the values the portable code tells apart.
#include <windows.h>

#include "../FileInternals.h"

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

// Windows calls are never interrupted by signals.
bool IsInterrupted(int) { return false; }

bool IsLockBusy(int osError) {
  return osError == ERROR_LOCK_VIOLATION || osError == ERROR_IO_PENDING;
}

int NoProgressError() { return ERROR_WRITE_FAULT; }

}  // namespace platform
}  // namespace dezov
