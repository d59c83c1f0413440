// SPDX-License-Identifier: MIT
// Where the agent puts values: one key into one file, or every key under a
// prefix into a folder, each into the file named by the rest of its key.
#ifndef DEZOV_SYNC_SYNC_TARGET_H
#define DEZOV_SYNC_SYNC_TARGET_H

#include <string>

namespace dezov {
namespace sync {

class SyncTarget {
 public:
  // key's value goes to file.
  static SyncTarget OneKey(const std::string& key, const std::string& file);
  // Every key beginning with prefix goes to folder/<the rest of the key>.
  static SyncTarget Prefix(const std::string& prefix, const std::string& folder);

  // The key, or the prefix, to read and watch.
  const std::string& key() const { return key_; }
  // The range end to read and watch with key(): "" for one key.
  std::string RangeEnd() const;
  bool IsPrefix() const { return isPrefix_; }

  // The file of key; false with reason when the key has none: a key outside
  // the target, or a rest of the name that is no plain file name in the
  // folder (empty, ".", "..", or any other name beginning with a dot, which
  // would reach the save protocol's lock and temporary files; a '/', which
  // would name a subfolder or leave the folder; a NUL; over 255 bytes).
  bool FileOf(const std::string& key, std::string& file, std::string& reason) const;

 private:
  SyncTarget(bool isPrefix, const std::string& key, const std::string& place);

  bool isPrefix_;
  std::string key_;
  std::string place_;  // the file, or the folder
};

}  // namespace sync
}  // namespace dezov

#endif  // DEZOV_SYNC_SYNC_TARGET_H
