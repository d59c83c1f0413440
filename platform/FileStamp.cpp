// SPDX-License-Identifier: MIT
// Stamps of files, and whether a file exists, through the FileSystem seam.
#include "FileStamp.h"

#include "Platform.h"

namespace dezov {
namespace platform {

FileStamp StampOf(const FileInfo& info) {
  FileStamp stamp;
  stamp.exists = true;
  stamp.device = info.device;
  stamp.inode = info.inode;
  stamp.size = info.size;
  stamp.modifiedNs = info.modifiedNs;
  return stamp;
}

Status StampFile(const std::string& path, FileStamp& stamp) {
  FileInfo info;
  const int error = FileSystem::Current().Stat(path, info);
  if (error != 0) {
    if (!IsMissing(error)) return OsError("cannot examine", path, error);
    stamp = FileStamp();
    return Status::Ok();
  }
  stamp = StampOf(info);
  return Status::Ok();
}

bool FileExists(const std::string& path) {
  FileInfo info;
  return FileSystem::Current().Stat(path, info) == 0;
}

}  // namespace platform
}  // namespace dezov
