// The process-wide resolver: a pointer the host installs and reads. The library
// never creates, copies or deletes the resolver behind it. The pointer is
// atomic so that a thread fetching it sees a resolver loaded before it was
// installed, and installing while other threads fetch is not a data race.
#include <atomic>

#include "../include/KdDeploy.h"

namespace {
std::atomic<CKdDeploy*> installedResolver{nullptr};
}

void SetKdDeploy(CKdDeploy* pDeploy) {
  installedResolver.store(pDeploy, std::memory_order_release);
}

CKdDeploy* GetKdDeploy() { return installedResolver.load(std::memory_order_acquire); }
