// SPDX-License-Identifier: MIT
// What a store saw of its file, to tell later whether anyone changed it.
#ifndef DEZOV20_PLATFORM_FILESTAMP_H
#define DEZOV20_PLATFORM_FILESTAMP_H

#include <cstdint>
#include <string>

#include "FileSystem.h"
#include "Status.h"

namespace dezov {
namespace platform {

// Device/volume, inode/file index, size and modification time of a file. Two
// stamps are equal when nothing visible changed.
struct FileStamp {
  bool exists = false;
  std::uint64_t device = 0, inode = 0, size = 0;
  std::int64_t modifiedNs = 0;

  bool operator==(const FileStamp& other) const {
    return exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && modifiedNs == other.modifiedNs;
  }
  bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

// The stamp of the file info describes.
FileStamp StampOf(const FileInfo& info);

// Stamp of the file at path now (symbolic links followed); a missing file is
// ok() with exists == false.
Status StampFile(const std::string& path, FileStamp& stamp);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_FILESTAMP_H
