// SPDX-License-Identifier: MIT
#include <windows.h>

#include <memory>
#include <utility>
#include <vector>

#include "../Platform.h"

namespace dezov {
namespace platform {
namespace {

using ExitList = std::vector<std::pair<void (*)(void*), void*>>;

// Runs a thread's registrations, last first.
void WINAPI RunExitList(void* value) {
  std::unique_ptr<ExitList> list(static_cast<ExitList*>(value));
  if (!list) return;
  for (auto it = list->rbegin(); it != list->rend(); ++it) it->first(it->second);
}

// A fiber-local slot, whose callback (unlike thread-local storage) runs when
// a thread ends. Freed with DeZov20's static objects, so that no callback into
// an unloaded DLL is left behind.
class ExitSlot {
 public:
  ExitSlot() : index_(::FlsAlloc(RunExitList)) {}
  ExitSlot(const ExitSlot&) = delete;
  ExitSlot& operator=(const ExitSlot&) = delete;
  ~ExitSlot() {
    if (index_ != FLS_OUT_OF_INDEXES) ::FlsFree(index_);
  }
  DWORD index() const { return index_; }

 private:
  DWORD index_;
};

}  // namespace

bool DestroyAtThreadExit(void* object, void (*destroy)(void* object)) {
  static const ExitSlot slot;
  if (slot.index() == FLS_OUT_OF_INDEXES) return false;
  auto* list = static_cast<ExitList*>(::FlsGetValue(slot.index()));
  if (list == nullptr) {
    auto made = std::make_unique<ExitList>();
    if (!::FlsSetValue(slot.index(), made.get())) return false;
    list = made.release();  // owned by the slot until the thread ends
  }
  list->emplace_back(destroy, object);
  return true;
}

}  // namespace platform
}  // namespace dezov
