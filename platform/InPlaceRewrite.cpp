// SPDX-License-Identifier: MIT
// The in-place rewrite (see InPlaceRewrite.h), through the FileSystem seam.
#include "InPlaceRewrite.h"

namespace dezov {
namespace platform {
namespace {

// Makes room for newSize bytes in file, which holds oldSize; a failure leaves
// the file as it was.
Status MakeRoom(const OpenFile& file, const std::string& target, std::uint64_t oldSize,
                std::uint64_t newSize) {
  if (newSize <= oldSize) return Status::Ok();
  FileSystem& fileSystem = FileSystem::Current();
  const int error = fileSystem.Reserve(file.get(), newSize);
  if (error == 0) return Status::Ok();
  Status status = OsError("cannot make room for the new content of", target, error);
  // Whatever was allocated before the disk filled goes again.
  FileInfo now;
  int undo = fileSystem.Fstat(file.get(), now);
  if (undo == 0 && now.size != oldSize) undo = fileSystem.Resize(file.get(), oldSize);
  if (undo != 0)
    return status.WithMessage(status.message() + "; " +
                              OsError("cannot cut it back to its old size", target, undo).message());
  return status.WithMessage(status.message() + " (the old content is kept)");
}

}  // namespace

Status RewriteInPlace(const std::string& target, const std::string& data,
                      const FileOwnership& asked, FileStamp* written) {
  FileSystem& fileSystem = FileSystem::Current();
  OpenFile file;
  int error = fileSystem.Open(target, FileSystem::OpenKind::kWriteExisting, 0, file.Receive());
  if (error != 0) return OsError("cannot open for writing", target, error);
  FileInfo info;
  error = fileSystem.Fstat(file.get(), info);
  if (error != 0) return OsError("cannot examine", target, error);
  Status status = GiveOwnership(file, target, nullptr, asked);
  if (status.ok()) status = MakeRoom(file, target, info.size, data.size());
  if (!status.ok()) return status;
  error = WriteAll(file, data);
  if (error != 0) {
    // Room made for the new content goes again; old bytes overwritten before
    // the failure stay overwritten.
    status = OsError("cannot write", target, error);
    const int undo = fileSystem.Resize(file.get(), info.size);
    if (undo == 0) return status;
    return status.WithMessage(status.message() + "; " +
                              OsError("cannot cut it back to its old size", target, undo).message());
  }
  error = fileSystem.Resize(file.get(), data.size());
  if (error == 0) error = SyncAndStamp(file, written);
  if (error == 0) error = file.Close();
  return error == 0 ? Status::Ok() : OsError("cannot write", target, error);
}

}  // namespace platform
}  // namespace dezov
