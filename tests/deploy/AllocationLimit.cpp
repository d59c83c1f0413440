// SPDX-License-Identifier: MIT
// The allocation functions of the deploy test program, with a limit a test can
// set: each allocation counts allocationsLeft down and fails once it is 0.
// Kept apart from the tests so that no call is inlined against them.
#include <atomic>
#include <cstdlib>
#include <new>

namespace deploy_test {
std::atomic<long> allocationsLeft{-1};  // -1: no limit
}

void* operator new(std::size_t size) {
  long left = deploy_test::allocationsLeft.load();
  while (left > 0 && !deploy_test::allocationsLeft.compare_exchange_weak(left, left - 1)) {
  }
  if (left == 0) throw std::bad_alloc();
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

// The nothrow form (std::stable_sort's buffer) must come from the same heap as
// the deletes above.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
