// SPDX-License-Identifier: MIT
#include "XmlNodeHandles.h"

#include <algorithm>

namespace dezov {
namespace {
constexpr long kLastHandle = 0x7fffffffL;  // handles fit a 32-bit long
}

long NodeHandleTable::HandleOf(const std::shared_ptr<XmlDocument>& document,
                               xercesc::DOMElement* element) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = handles_.find(element);
  if (found != handles_.end()) {
    auto target = targets_.find(found->second);
    if (target != targets_.end() && target->second.document.lock() == document)
      return found->second;
  }
  if (last_handle_ == kLastHandle) return 0;  // numbers are never reused
  const long handle = ++last_handle_;
  targets_.emplace(handle, Entry{document, element});
  handles_[element] = handle;
  if (targets_.size() >= sweep_at_) {
    SweepLocked();
    sweep_at_ = std::max(kFirstSweep, 2 * targets_.size());
  }
  return handle;
}

NodeHandleTable::Target NodeHandleTable::ElementOf(long handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = targets_.find(handle);
  if (found == targets_.end()) return Target();
  Target target{found->second.document.lock(), found->second.element};
  if (!target.document) target.element = nullptr;
  return target;
}

void NodeHandleTable::SweepLocked() {
  for (auto it = targets_.begin(); it != targets_.end();)
    it = it->second.document.expired() ? targets_.erase(it) : std::next(it);
  for (auto it = handles_.begin(); it != handles_.end();)
    it = targets_.count(it->second) ? std::next(it) : handles_.erase(it);
}

}  // namespace dezov
