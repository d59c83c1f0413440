// SPDX-License-Identifier: MIT
// Status from a GetLastError() value, and the values the portable code tells apart.
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

// Windows calls are never interrupted by signals.
bool IsInterrupted(int) { return false; }

// A file another program holds open without sharing counts as held too.
bool IsLockBusy(int osError) {
  return osError == ERROR_LOCK_VIOLATION || osError == ERROR_IO_PENDING ||
         osError == ERROR_SHARING_VIOLATION;
}

bool IsMissing(int osError) {
  return osError == ERROR_FILE_NOT_FOUND || osError == ERROR_PATH_NOT_FOUND;
}

bool IsNameTaken(int osError) {
  return osError == ERROR_FILE_EXISTS || osError == ERROR_ALREADY_EXISTS;
}

bool IsRefused(int osError) { return osError == ERROR_ACCESS_DENIED; }

bool IsUnsupported(int osError) {
  return osError == ERROR_NOT_SUPPORTED || osError == ERROR_INVALID_FUNCTION;
}

// A lock file whose last handle is being closed refuses new openers for a
// moment (it is being deleted), as a held one may refuse to be shared.
bool IsLockFileBusy(int osError) {
  return osError == ERROR_ACCESS_DENIED || osError == ERROR_SHARING_VIOLATION;
}

int NoProgressError() { return ERROR_WRITE_FAULT; }

}  // namespace platform
}  // namespace dezov
