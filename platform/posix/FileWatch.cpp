// File change notification on POSIX systems: inotify on the file's directory
// where the system has it (Linux), else timeouts only. A pipe wakes a waiting
// thread.
#include "../FileWatch.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/inotify.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstring>

namespace dezov {
namespace platform {
namespace {

bool MakeNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
         ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

// Reads everything waiting on a non-blocking descriptor.
void Drain(int fd) {
  char buffer[256];
  while (::read(fd, buffer, sizeof buffer) > 0) {
  }
}

}  // namespace

struct FileWatch::Impl {
  std::string directory;
  std::string name;
  int wakeRead = -1;
  int wakeWrite = -1;
  int notify = -1;  // inotify descriptor, -1 without notification
  int watch = -1;   // watch descriptor of the directory, -1 while it has none

  ~Impl() {
    for (int fd : {wakeRead, wakeWrite, notify})
      if (fd >= 0) ::close(fd);
  }

#ifdef __linux__
  static constexpr std::uint32_t kMask = IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE |
                                         IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                         IN_DELETE_SELF | IN_MOVE_SELF;

  // (Re)attaches to the directory, which may have been missing or replaced.
  void EnsureWatch() {
    if (notify >= 0 && watch < 0) watch = ::inotify_add_watch(notify, directory.c_str(), kMask);
  }

  // Reads the pending events; true when one may concern the file.
  bool ReadEvents() {
    alignas(struct inotify_event) char buffer[4096];
    bool concerned = false;
    for (;;) {
      const ssize_t got = ::read(notify, buffer, sizeof buffer);
      if (got <= 0) return concerned;
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
        if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
          // The directory itself went away: the watch is gone with it.
          if (event->mask & IN_IGNORED) watch = -1;
          concerned = true;
        } else if (event->mask & IN_Q_OVERFLOW) {
          concerned = true;
        } else if (event->len > 0 && name == event->name) {
          concerned = true;
        }
      }
    }
  }
#else
  void EnsureWatch() {}
  bool ReadEvents() { return true; }
#endif
};

FileWatch::FileWatch(const std::string& path) : impl_(std::make_unique<Impl>()) {
  const std::size_t slash = path.rfind('/');
  impl_->directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  impl_->name = slash == std::string::npos ? path : path.substr(slash + 1);
  int ends[2];
  if (::pipe(ends) == 0) {
    impl_->wakeRead = ends[0];
    impl_->wakeWrite = ends[1];
    MakeNonBlocking(ends[0]);
    MakeNonBlocking(ends[1]);
  }
#ifdef __linux__
  impl_->notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  impl_->EnsureWatch();
#endif
}

FileWatch::~FileWatch() = default;

FileWatch::Event FileWatch::Wait(int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  impl_->EnsureWatch();
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return Event::kTimeout;
    struct pollfd fds[2] = {{impl_->wakeRead, POLLIN, 0}, {impl_->notify, POLLIN, 0}};
    const nfds_t count = impl_->notify >= 0 && impl_->watch >= 0 ? 2 : 1;
    const int ready = ::poll(fds, count, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) return Event::kTimeout;
    if (ready <= 0) continue;
    if (fds[0].revents != 0) {
      Drain(impl_->wakeRead);
      return Event::kWoken;
    }
    if (count == 2 && fds[1].revents != 0 && impl_->ReadEvents()) return Event::kChanged;
  }
}

void FileWatch::Wake() {
  const char byte = 1;
  // A full pipe already holds a wake-up; nothing is lost when this write fails.
  if (impl_->wakeWrite >= 0) (void)!::write(impl_->wakeWrite, &byte, 1);
}

bool FileWatch::notifies() const { return impl_->notify >= 0 && impl_->watch >= 0; }

}  // namespace platform
}  // namespace dezov
