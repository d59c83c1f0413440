// The steps of whole-file reads and writes that are the same on every system;
// each OS half supplies the opening, stamping and replacing.
#include <cstddef>

#include "FileInternals.h"
#include "Platform.h"

namespace dezov {
namespace platform {
namespace {

int WriteAll(NativeFile file, const std::string& data) {
  FileSystem& fileSystem = FileSystem::Current();
  const char* next = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    std::size_t written = 0;
    const int error = fileSystem.Write(file, next, left, written);
    if (IsInterrupted(error)) continue;
    if (error != 0) return error;
    if (written == 0) return NoProgressError();  // do not spin
    next += written;
    left -= written;
  }
  return 0;
}

}  // namespace

int FillFile(const OpenFile& file, const std::string& data, FileStamp* stamp) {
  int error = WriteAll(file.get(), data);
  if (error == 0) error = FileSystem::Current().Sync(file.get());
  if (error == 0 && stamp != nullptr) error = StampOpenFile(file, *stamp);
  return error;
}

Status RewriteInPlace(const std::string& target, const std::string& data, FileStamp* written) {
  OpenFile file;
  int error = FileSystem::Current().Open(target, FileSystem::OpenKind::kRewrite, 0, file.Receive());
  if (error != 0) return OsError("cannot open for writing", target, error);
  error = FillFile(file, data, written);
  if (error == 0) error = file.Close();
  return error == 0 ? Status::Ok() : OsError("cannot write", target, error);
}

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

Status CreateEmptyFile(const std::string& path) {
  OpenFile file;
  const int error =
      FileSystem::Current().Open(path, FileSystem::OpenKind::kCreateNew, 0666, file.Receive());
  if (error == 0) return Status::Ok();
  // A file already there is what the caller wants.
  const Status status = OsError("cannot create", path, error);
  return status.IsAlreadyExists() ? Status::Ok() : status;
}

Status ReplaceFileContents(const std::string& path, const std::string& data, FileStamp* written) {
  if (path.empty()) return Status::Invalid("cannot write a file without a name");
  return ReplaceResolved(FinalTarget(path), data, written);
}

}  // namespace platform
}  // namespace dezov
