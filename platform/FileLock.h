// The save protocol shared by the stores: an exclusive lock held from the
// check of the file on disk to its replacement, so that concurrent savers
// (threads, processes, other programs using the same lock) never lose each
// other's changes, and exclusive creation of new files.
#ifndef DEZOV20_PLATFORM_FILELOCK_H
#define DEZOV20_PLATFORM_FILELOCK_H

#include <cstdint>
#include <functional>
#include <string>

#include "Status.h"

namespace dezov {
namespace platform {

// What a store saw of its file: device/volume, inode/file index, size and
// modification time. Two stamps are equal when nothing visible changed.
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

// Stamp of the file at path now (symbolic links followed); a missing file is
// ok() with exists == false.
Status StampFile(const std::string& path, FileStamp& stamp);

// What the file holds at save time, seen under the lock. bytes is filled only
// for kChanged.
struct DiskState {
  enum Kind { kUnchanged, kChanged, kRemoved };
  Kind kind = kUnchanged;
  std::string bytes;
};

// Renders the bytes to save from what is on disk now; !ok() cancels the save.
using SaveRenderer = std::function<Status(const DiskState& state, std::string& out)>;

// How long a save waits for another saver's lock before giving up.
constexpr int kSaveLockTimeoutMs = 10000;

// The one save protocol of both stores. Takes the exclusive save lock of path
// (symbolic links followed; waits at most timeoutMs, then Status::Locked with
// nothing written), compares the file with readStamp and calls render(state,
// out): on kChanged state.bytes holds the file's current contents, so that the
// store can merge its own changes on top; kRemoved when readStamp saw a file
// that is gone. Writes out as ReplaceFileContents does, stores the new file's
// stamp in written and releases the lock. A render that fails writes nothing.
Status SaveLocked(const std::string& path, const FileStamp& readStamp, const SaveRenderer& render,
                  FileStamp& written, int timeoutMs = kSaveLockTimeoutMs);

// Creates path holding data only if nothing exists there; the file appears
// complete or not at all where the file system allows (a temporary file given
// the name with a hard link). A name already taken gives IsAlreadyExists(),
// which callers that only need some file there may take as success.
Status CreateFileExclusive(const std::string& path, const std::string& data);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_FILELOCK_H
