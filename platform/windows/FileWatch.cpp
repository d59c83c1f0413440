// SPDX-License-Identifier: MIT
// File change notification on Windows: a change notification on the file's
// directory (names, sizes, write times) and an event that wakes the waiting
// thread. The notification does not say which entry changed, so every change
// in the directory ends a wait; the caller compares the file's stamp.
#include "../FileWatch.h"

#include <windows.h>

#include "../Status.h"

namespace dezov {
namespace platform {

struct FileWatch::Impl {
  std::string directory;
  HANDLE wake = nullptr;
  HANDLE change = INVALID_HANDLE_VALUE;
  DWORD refused = 0;  // the error of the last failed attempt to watch

  ~Impl() {
    if (change != INVALID_HANDLE_VALUE) ::FindCloseChangeNotification(change);
    if (wake != nullptr) ::CloseHandle(wake);
  }

  // (Re)attaches to the directory, which may have been missing.
  void EnsureWatch() {
    if (change != INVALID_HANDLE_VALUE) return;
    change = ::FindFirstChangeNotificationA(
        directory.c_str(), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
    refused = change == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
  }
};

FileWatch::FileWatch(const std::string& path) : impl_(std::make_unique<Impl>()) {
  const std::size_t slash = path.find_last_of("\\/");
  impl_->directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  impl_->wake = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);  // auto-reset
  impl_->EnsureWatch();
}

FileWatch::~FileWatch() = default;

FileWatch::Event FileWatch::Wait(int timeoutMs) {
  impl_->EnsureWatch();
  HANDLE handles[2] = {impl_->wake, impl_->change};
  const DWORD count = impl_->change != INVALID_HANDLE_VALUE ? 2 : 1;
  if (impl_->wake == nullptr) {
    ::Sleep(static_cast<DWORD>(timeoutMs));
    return Event::kTimeout;
  }
  const DWORD result = ::WaitForMultipleObjects(count, handles, FALSE,
                                                static_cast<DWORD>(timeoutMs));
  if (result == WAIT_OBJECT_0) return Event::kWoken;
  if (count == 2 && result == WAIT_OBJECT_0 + 1) {
    if (!::FindNextChangeNotification(impl_->change)) {
      ::FindCloseChangeNotification(impl_->change);
      impl_->change = INVALID_HANDLE_VALUE;
    }
    return Event::kChanged;
  }
  return Event::kTimeout;
}

void FileWatch::Wake() {
  if (impl_->wake != nullptr) ::SetEvent(impl_->wake);
}

bool FileWatch::notifies() const { return impl_->change != INVALID_HANDLE_VALUE; }

std::string FileWatch::pollReason() const {
  if (impl_->change != INVALID_HANDLE_VALUE) return std::string();
  return OsError("cannot watch the folder", impl_->directory, static_cast<int>(impl_->refused))
      .message();
}

}  // namespace platform
}  // namespace dezov
