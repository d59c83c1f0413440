// SPDX-License-Identifier: MIT
// PutFileBytes and RemoveFileLocked over the save protocol.
#include "../include/PutFile.h"

#include "SaveProtocol.h"

namespace dezov {

bool PutFileBytes(const std::string& fileName, const std::string& bytes, const PutOptions& options,
                  std::string& reason) {
  if (options.mode < -1 || options.mode > 07777 || options.owner < -1 || options.group < -1) {
    reason = "cannot write '" + fileName + "': mode " + std::to_string(options.mode) + ", owner " +
             std::to_string(options.owner) + " or group " + std::to_string(options.group) +
             " is out of range";
    return false;
  }
  platform::FileOwnership ownership;
  ownership.mode = options.mode;
  ownership.owner = options.owner;
  ownership.group = options.group;
  const Status saved = platform::PutLocked(fileName, bytes, ownership);
  reason = saved.message();
  return saved.ok();
}

bool RemoveFileLocked(const std::string& fileName, std::string& reason) {
  const Status removed = platform::RemoveLocked(fileName);
  reason = removed.message();
  return removed.ok();
}

}  // namespace dezov
