// PutFileBytes and RemoveFileLocked over the stores' save protocol.
#include "../include/PutFile.h"

#include "FileLock.h"
#include "FileSystem.h"

namespace dezov {
namespace {

// The render's way of ending a save that removed the file instead of writing it.
const char kRemoved[] = "removed";

}  // namespace

bool PutFileBytes(const std::string& fileName, const std::string& bytes, const PutOptions& options,
                  std::string& reason) {
  if (options.mode != -1 || options.owner != -1 || options.group != -1) {
    reason = "cannot write '" + fileName + "': a mode or owner cannot be given yet";
    return false;
  }
  platform::FileStamp stamp;
  const Status saved = platform::SaveLocked(
      fileName, stamp,
      [&bytes](const platform::DiskState&, std::string& out) {
        out = bytes;
        return Status::Ok();
      },
      stamp);
  reason = saved.ok() ? std::string() : saved.message();
  return saved.ok();
}

bool RemoveFileLocked(const std::string& fileName, std::string& reason) {
  platform::FileStamp stamp;
  const Status removed = platform::SaveLocked(
      fileName, stamp,
      [&fileName](const platform::DiskState&, std::string&) {
        const int error = platform::FileSystem::Current().Remove(fileName);
        if (error != 0) {
          const Status status = platform::OsError("cannot remove", fileName, error);
          if (!status.IsNotFound()) return status;
        }
        return Status::NotFound(kRemoved);
      },
      stamp);
  const bool gone = removed.IsNotFound() && removed.message() == kRemoved;
  reason = gone ? std::string() : removed.message();
  return gone;
}

}  // namespace dezov
