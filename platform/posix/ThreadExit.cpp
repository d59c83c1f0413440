// SPDX-License-Identifier: MIT
#include <utility>
#include <vector>

#include "../Platform.h"

namespace dezov {
namespace platform {
namespace {

// A thread's registrations, run last first when the thread ends (the main
// thread's when the process exits, before static objects are destroyed).
class ExitList {
 public:
  ExitList() = default;
  ExitList(const ExitList&) = delete;
  ExitList& operator=(const ExitList&) = delete;
  ~ExitList() {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) it->first(it->second);
  }
  void Add(void* object, void (*destroy)(void*)) { entries_.emplace_back(destroy, object); }

 private:
  std::vector<std::pair<void (*)(void*), void*>> entries_;
};

}  // namespace

bool DestroyAtThreadExit(void* object, void (*destroy)(void* object)) {
  thread_local ExitList list;
  list.Add(object, destroy);
  return true;
}

}  // namespace platform
}  // namespace dezov
