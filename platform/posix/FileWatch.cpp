// SPDX-License-Identifier: MIT
// File change notification on POSIX systems: inotify on the file's directory
// where the system has it (Linux), else timeouts only.
//
// The process has one inotify instance, however many watches there are: the
// system limits instances per user (often to 128, shared by every program of
// that user), while one instance holds thousands of directory watches. The
// instance and one thread that reads it exist while at least one FileWatch
// does; the thread hands each event to the watches of its directory, whose
// waits sleep on a condition variable. Watches of one directory share the
// system's watch descriptor (the system gives the same one for the same
// directory), which is removed with the last of them. A child process made
// by fork does not use its parent's instance (events would go to the parent's
// thread, and a removal there would end the parent's watch): it makes its own.
// A fork waits until no other thread holds the instance's locks.
#include "../FileWatch.h"

#include <poll.h>
#include <pthread.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/inotify.h>
#endif

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "../Status.h"

namespace dezov {
namespace platform {

namespace {

// One watch's side of the shared instance.
struct Watcher {
  std::string directory;
  std::string name;
  // Guarded by the hub's mutex:
  std::condition_variable wakeUp;
  int watch = -1;        // watch descriptor of the directory, -1 while it has none
  bool changed = false;  // an event that may concern the file arrived
  bool woken = false;    // Wake was called
  std::string refusal;   // why there is no watch
};

#ifdef __linux__
constexpr std::uint32_t kMask = IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE |
                                IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
#endif

// The process's inotify instance, its reader thread and the watches by
// directory watch descriptor.
class Hub {
 public:
  // Never destroyed: a watch may outlive static destruction at exit. A fork
  // while another thread holds the locks would leave them held for good in
  // the child: fork waits until it can take them.
  static Hub& Instance() {
    static const bool made = [] {
      shared_ = new Hub;
      ::pthread_atfork([] { shared_->LockForFork(); }, [] { shared_->UnlockAfterFork(); },
                       [] { shared_->UnlockAfterFork(); });
      return true;
    }();
    (void)made;
    return *shared_;
  }

  // A new watch: starts the instance for the first one, then attaches it.
  void Join(Watcher& impl) {
    std::lock_guard<std::mutex> life(lifecycle_);
    std::lock_guard<std::mutex> lock(mutex_);
    ForgetInheritedLocked();
    ++users_;
    try {
      AttachLocked(impl);
    } catch (...) {  // out of memory: the watch is not made
      DetachLocked(impl);
      --users_;
      throw;
    }
  }

  // A watch that ends: detaches it, and ends the instance with the last one.
  void Leave(Watcher& impl) {
    std::lock_guard<std::mutex> life(lifecycle_);
    std::unique_ptr<std::thread> reader;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ForgetInheritedLocked();
      DetachLocked(impl);
      if (--users_ > 0) return;
      reader = std::move(reader_);
    }
    if (reader) {  // Join waits on lifecycle_ meanwhile, so nothing starts anew
      const char byte = 1;
      (void)!::write(stopWrite_, &byte, 1);
      reader->join();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    CloseLocked();
    byWatch_.clear();
  }

  // Attaches impl when it has no watch (its directory was missing or
  // replaced). impl keeps the instance alive, so lifecycle_ is not needed.
  void Refresh(Watcher& impl) {
    std::lock_guard<std::mutex> lock(mutex_);
    ForgetInheritedLocked();
    AttachLocked(impl);
  }

  std::mutex& mutex() { return mutex_; }
  bool notifies(const Watcher& impl) const { return notify_ >= 0 && impl.watch >= 0; }

 private:
  Hub() = default;

  void LockForFork() {
    lifecycle_.lock();
    mutex_.lock();
  }
  void UnlockAfterFork() {
    mutex_.unlock();
    lifecycle_.unlock();
  }

  void CloseLocked() {
    for (int* fd : {&notify_, &stopRead_, &stopWrite_}) {
      if (*fd >= 0) ::close(*fd);
      *fd = -1;
    }
  }

  // In a child made by fork, what the parent started belongs to the parent:
  // this process's copies of its descriptors are closed (the parent's stay
  // open), its reader thread does not exist here, and the watches this
  // process knows attach anew to an instance of its own.
  void ForgetInheritedLocked() {
    if (notify_ < 0 || owner_ == ::getpid()) return;
    CloseLocked();
    (void)reader_.release();  // the thread object of a thread that is not here
    for (auto& entry : byWatch_)
      for (Watcher* impl : entry.second) impl->watch = -1;
    byWatch_.clear();
  }

  // Makes the instance and its reader when there is none; the reason when
  // the system refuses.
  bool StartLocked(std::string& refusal) {
#ifdef __linux__
    if (notify_ >= 0) return true;
    const int notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notify < 0) {
      refusal = std::string("the system gives no change notification: ") + std::strerror(errno);
      return false;
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
      refusal = std::string("the system gives no change notification: ") + std::strerror(errno);
      ::close(notify);
      return false;
    }
    try {
      reader_ = std::make_unique<std::thread>([this, notify, stop = ends[0]] { Read(notify, stop); });
    } catch (const std::exception& error) {  // no thread or no memory for it
      refusal = std::string("the system gives no change notification: ") + error.what();
      for (int fd : {notify, ends[0], ends[1]}) ::close(fd);
      return false;
    }
    notify_ = notify;
    stopRead_ = ends[0];
    stopWrite_ = ends[1];
    owner_ = ::getpid();
    return true;
#else
    refusal = "the system gives no change notification";
    return false;
#endif
  }

  void AttachLocked(Watcher& impl) {
    if (impl.watch >= 0) return;
    if (!StartLocked(impl.refusal)) return;
#ifdef __linux__
    const int watch = ::inotify_add_watch(notify_, impl.directory.c_str(), kMask);
    if (watch < 0) {
      impl.refusal = OsError("cannot watch the folder", impl.directory, errno).message();
      return;
    }
    impl.refusal.clear();
    const bool shared = byWatch_.count(watch) > 0;  // the directory of another watch
    try {
      byWatch_[watch].insert(&impl);
    } catch (...) {  // out of memory: no watch is left behind
      if (!shared) {
        byWatch_.erase(watch);
        ::inotify_rm_watch(notify_, watch);
      }
      throw;
    }
    impl.watch = watch;
#endif
  }

  void DetachLocked(Watcher& impl) {
    if (impl.watch < 0) return;
    const auto found = byWatch_.find(impl.watch);
    if (found != byWatch_.end()) {
      found->second.erase(&impl);
      if (found->second.empty()) {
#ifdef __linux__
        ::inotify_rm_watch(notify_, impl.watch);
#endif
        byWatch_.erase(found);
      }
    }
    impl.watch = -1;
  }

  static void Tell(Watcher& impl) {
    impl.changed = true;
    impl.wakeUp.notify_all();
  }

#ifdef __linux__
  // The reader thread: waits for events until told to stop through stop.
  void Read(int notify, int stop) {
    alignas(struct inotify_event) char buffer[16384];
    for (;;) {
      struct pollfd fds[2] = {{notify, POLLIN, 0}, {stop, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents != 0) return;
      const ssize_t got = ::read(notify, buffer, sizeof buffer);
      if (got <= 0) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
        Dispatch(*event);
      }
    }
  }

  void Dispatch(const struct inotify_event& event) {
    if (event.mask & IN_Q_OVERFLOW) {  // events were lost: any file may have changed
      for (auto& entry : byWatch_)
        for (Watcher* impl : entry.second) Tell(*impl);
      return;
    }
    const auto found = byWatch_.find(event.wd);
    if (found == byWatch_.end()) return;  // a watch removed since
    if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
      // The directory itself went away; with IN_IGNORED its watch is gone.
      for (Watcher* impl : found->second) {
        if (event.mask & IN_IGNORED) impl->watch = -1;
        Tell(*impl);
      }
      if (event.mask & IN_IGNORED) byWatch_.erase(found);
      return;
    }
    if (event.len == 0) return;
    for (Watcher* impl : found->second)
      if (impl->name == event.name) Tell(*impl);
  }
#endif

  static inline Hub* shared_ = nullptr;
  std::mutex lifecycle_;  // orders Join, Leave and Refresh; taken before mutex_
  std::mutex mutex_;      // everything below, and the watches' guarded members
  int users_ = 0;
  int notify_ = -1;
  int stopRead_ = -1;
  int stopWrite_ = -1;
  pid_t owner_ = 0;  // the process that made the instance
  std::unique_ptr<std::thread> reader_;
  std::map<int, std::set<Watcher*>> byWatch_;
};

}  // namespace

struct FileWatch::Impl : Watcher {};

FileWatch::FileWatch(const std::string& path) : impl_(std::make_unique<Impl>()) {
  const std::size_t slash = path.rfind('/');
  impl_->directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  impl_->name = slash == std::string::npos ? path : path.substr(slash + 1);
  Hub::Instance().Join(*impl_);
}

FileWatch::~FileWatch() { Hub::Instance().Leave(*impl_); }

FileWatch::Event FileWatch::Wait(int timeoutMs) {
  Hub& hub = Hub::Instance();
  hub.Refresh(*impl_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock<std::mutex> lock(hub.mutex());
  impl_->wakeUp.wait_until(lock, deadline, [this] { return impl_->woken || impl_->changed; });
  if (impl_->woken) {
    impl_->woken = false;
    return Event::kWoken;
  }
  if (impl_->changed) {
    impl_->changed = false;
    return Event::kChanged;
  }
  return Event::kTimeout;
}

void FileWatch::Wake() {
  std::lock_guard<std::mutex> lock(Hub::Instance().mutex());
  impl_->woken = true;
  impl_->wakeUp.notify_all();
}

bool FileWatch::notifies() const {
  std::lock_guard<std::mutex> lock(Hub::Instance().mutex());
  return Hub::Instance().notifies(*impl_);
}

std::string FileWatch::pollReason() const {
  std::lock_guard<std::mutex> lock(Hub::Instance().mutex());
  return impl_->refusal;
}

}  // namespace platform
}  // namespace dezov
