// SPDX-License-Identifier: MIT
#include "SyncTarget.h"

#include "EtcdWire.h"

namespace dezov {
namespace sync {

SyncTarget::SyncTarget(bool isPrefix, const std::string& key, const std::string& place)
    : isPrefix_(isPrefix), key_(key), place_(place) {}

SyncTarget SyncTarget::OneKey(const std::string& key, const std::string& file) {
  return SyncTarget(false, key, file);
}

SyncTarget SyncTarget::Prefix(const std::string& prefix, const std::string& folder) {
  std::string place = folder;
  while (place.size() > 1 && place.back() == '/') place.pop_back();
  return SyncTarget(true, prefix, place);
}

std::string SyncTarget::RangeEnd() const { return isPrefix_ ? PrefixRangeEnd(key_) : std::string(); }

bool SyncTarget::FileOf(const std::string& key, std::string& file, std::string& reason) const {
  file.clear();
  if (!isPrefix_) {
    if (key != key_) {
      reason = "the key is not the one synced";
      return false;
    }
    file = place_;
    return true;
  }
  if (key.compare(0, key_.size(), key_) != 0) {
    reason = "the key is not under the prefix";
    return false;
  }
  const std::string rest = key.substr(key_.size());
  if (rest.empty()) reason = "the key is the prefix itself, which names no file";
  else if (rest[0] == '.') reason = "the file name would begin with a dot";
  else if (rest.find('/') != std::string::npos) reason = "the file name would hold a '/'";
  else if (rest.find('\0') != std::string::npos) reason = "the file name would hold a NUL byte";
  else if (rest.size() > 255) reason = "the file name would be longer than 255 bytes";
  else {
    file = (place_ == "/" ? std::string() : place_) + "/" + rest;
    return true;
  }
  return false;
}

}  // namespace sync
}  // namespace dezov
