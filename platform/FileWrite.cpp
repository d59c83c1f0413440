// SPDX-License-Identifier: MIT
// Whole-content writes, owners and permissions (see FileWrite.h).
#include "FileWrite.h"

#include "Platform.h"

namespace dezov {
namespace platform {

int WriteAll(const OpenFile& file, const std::string& data) {
  FileSystem& fileSystem = FileSystem::Current();
  const char* next = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    std::size_t written = 0;
    const int error = fileSystem.Write(file.get(), next, left, written);
    if (IsInterrupted(error)) continue;
    if (error != 0) return error;
    if (written == 0) return NoProgressError();  // do not spin
    next += written;
    left -= written;
  }
  return 0;
}

int SyncAndStamp(const OpenFile& file, FileStamp* stamp) {
  FileSystem& fileSystem = FileSystem::Current();
  int error = fileSystem.Sync(file.get());
  if (error != 0 || stamp == nullptr) return error;
  FileInfo info;
  error = fileSystem.Fstat(file.get(), info);
  if (error == 0) *stamp = StampOf(info);
  return error;
}

Status GiveOwnership(const OpenFile& file, const std::string& path, const FileInfo* old,
                     const FileOwnership& asked) {
  if (!FilesCarryPosixModes()) {
    if (!asked.any()) return Status::Ok();
    return Status::Invalid("cannot give '" + path +
                           "' a mode, owner or group: files here have none");
  }
  FileSystem& fileSystem = FileSystem::Current();
  const bool ownerAsked = asked.owner != -1 || asked.group != -1;
  const long owner = ownerAsked ? asked.owner : old != nullptr ? old->owner : -1;
  const long group = ownerAsked ? asked.group : old != nullptr ? old->group : -1;
  if (owner != -1 || group != -1) {
    int error = fileSystem.ChangeOwner(file.get(), owner, group);
    if (error != 0 && !ownerAsked && IsRefused(error)) {
      error = group != -1 ? fileSystem.ChangeOwner(file.get(), -1, group) : 0;
      if (IsRefused(error)) error = 0;
    }
    if (error != 0) return OsError("cannot give an owner to", path, error);
  }
  const long mode = asked.mode != -1 ? asked.mode : old != nullptr ? static_cast<long>(old->mode) : -1;
  if (mode == -1) return Status::Ok();
  const int error = fileSystem.ChangeMode(file.get(), static_cast<unsigned>(mode) & 07777u);
  return error == 0 ? Status::Ok() : OsError("cannot set the permissions of", path, error);
}

}  // namespace platform
}  // namespace dezov
