// SPDX-License-Identifier: MIT
// Following symbolic links through the FileSystem seam.
#include "FinalTarget.h"

#include "FileSystem.h"
#include "Platform.h"

namespace dezov {
namespace platform {

Status FinalTarget(const std::string& path, std::string& target) {
  constexpr int kMostLinks = 40;
  FileSystem& fileSystem = FileSystem::Current();
  std::string at = path;
  int hop = 0;
  for (; hop <= kMostLinks; ++hop) {
    FileInfo info;
    int error = fileSystem.Lstat(at, info);
    if (error != 0 && !IsMissing(error)) return OsError("cannot examine", at, error);
    if (error != 0 || info.type != FileInfo::Type::kSymlink) {
      target = at;
      return Status::Ok();
    }
    std::string link;
    error = fileSystem.ReadLink(at, link);
    if (error != 0) return OsError("cannot read the symbolic link", at, error);
    const std::string next = IsAbsolutePath(link) ? link : SiblingPath(at, link);
    if (next == at) break;  // a Windows reparse point that leads nowhere else
    at = next;
  }
  if (hop <= kMostLinks) {
    target = at;
    return Status::Ok();
  }
  return Status::IOError("cannot follow '" + path + "': more than 40 symbolic links, or a loop");
}

}  // namespace platform
}  // namespace dezov
