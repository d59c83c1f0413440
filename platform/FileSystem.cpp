// SPDX-License-Identifier: MIT
// Which FileSystem the platform layer uses.
#include "FileSystem.h"

#include <atomic>

namespace dezov {
namespace platform {
namespace {

std::atomic<FileSystem*> installed{nullptr};

}  // namespace

FileSystem& FileSystem::Current() {
  FileSystem* fileSystem = installed.load(std::memory_order_acquire);
  return fileSystem != nullptr ? *fileSystem : Default();
}

ScopedFileSystem::ScopedFileSystem(FileSystem& fileSystem)
    : previous_(installed.exchange(&fileSystem, std::memory_order_acq_rel)) {}

ScopedFileSystem::~ScopedFileSystem() { installed.store(previous_, std::memory_order_release); }

}  // namespace platform
}  // namespace dezov
