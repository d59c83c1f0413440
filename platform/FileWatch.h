// SPDX-License-Identifier: MIT
// Tells a thread when a file may have changed, without polling it: the OS
// reports changes in the file's directory (inotify on Linux, change
// notifications on Windows) and a waiting thread can be woken to stop.
// Where the OS offers no notification, Wait simply times out, and the caller's
// own check of the file at each timeout finds the change. On Linux every
// watch of the process shares one inotify instance and one thread reading it
// (see posix/FileWatch.cpp); on Windows each watch has its own notification.
#ifndef DEZOV20_PLATFORM_FILE_WATCH_H
#define DEZOV20_PLATFORM_FILE_WATCH_H

#include <memory>
#include <string>

namespace dezov {
namespace platform {

class FileWatch {
 public:
  enum class Event {
    kTimeout,  // nothing reported within the time asked for
    kChanged,  // something at the file's name in its directory changed (or may have)
    kWoken,    // Wake was called
  };

  // Watches the directory of path for changes to the entry named like path.
  explicit FileWatch(const std::string& path);
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;
  ~FileWatch();

  // Blocks at most timeoutMs for a change or a wake-up; changes to other
  // entries of the directory do not end the wait.
  Event Wait(int timeoutMs);
  // Ends the current or next Wait with kWoken; safe from any thread.
  void Wake();
  // True when the OS reports changes; false when only timeouts end a Wait.
  bool notifies() const;
  // Why only timeouts end a Wait (the OS refused a notification or a watch of
  // the directory, with its reason); empty while it reports changes. Asked
  // by the thread that waits.
  std::string pollReason() const;

 private:
  struct Impl;  // one per platform
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_FILE_WATCH_H
