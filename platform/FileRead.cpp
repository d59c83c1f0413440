// SPDX-License-Identifier: MIT
// Whole-file reads through the FileSystem seam.
#include "FileRead.h"

#include <cstddef>

namespace dezov {
namespace platform {
namespace {

Status NotAFile(const std::string& path) {
  return Status::IOError("cannot read '" + path + "': it is a directory");
}

// Opens path to read all of it and stamps what it opened.
Status OpenWholeFile(const std::string& path, OpenFile& file, FileStamp& stamp) {
  FileSystem& fileSystem = FileSystem::Current();
  int error = fileSystem.Open(path, FileSystem::OpenKind::kRead, 0, file.Receive());
  if (error != 0) {
    // Windows refuses to open a directory with a less telling error.
    FileInfo info;
    if (!IsMissing(error) && fileSystem.Stat(path, info) == 0 &&
        info.type == FileInfo::Type::kDirectory)
      return NotAFile(path);
    return OsError("cannot open", path, error);
  }
  FileInfo info;
  error = fileSystem.Fstat(file.get(), info);
  if (error != 0) return OsError("cannot examine", path, error);
  if (info.type == FileInfo::Type::kDirectory) return NotAFile(path);
  stamp = StampOf(info);
  return Status::Ok();
}

}  // namespace

Status ReadFilePieces(const std::string& path,
                      const std::function<void(std::string_view piece)>& consume,
                      FileStamp* stamp) {
  OpenFile file;
  FileStamp seen;
  const Status status = OpenWholeFile(path, file, seen);
  if (!status.ok()) return status;
  if (stamp != nullptr) *stamp = seen;
  char buffer[65536];
  for (;;) {
    std::size_t got = 0;
    const int error = FileSystem::Current().Read(file.get(), buffer, sizeof buffer, got);
    if (IsInterrupted(error)) continue;
    if (error != 0) return OsError("cannot read", path, error);
    if (got == 0) break;
    consume(std::string_view(buffer, got));
  }
  return Status::Ok();
}

Status ReadWholeFile(const std::string& path, std::string& data, FileStamp* stamp) {
  std::string content;
  FileStamp seen;
  const Status status = ReadFilePieces(
      path,
      [&](std::string_view piece) {
        // The size is only a hint: the file may change while it is read.
        if (content.empty() && seen.size < (1ull << 31))
          content.reserve(static_cast<std::size_t>(seen.size));
        content.append(piece);
      },
      &seen);
  if (!status.ok()) return status;
  data.swap(content);
  if (stamp != nullptr) *stamp = seen;
  return status;
}

}  // namespace platform
}  // namespace dezov
