// SPDX-License-Identifier: MIT
// The save protocol every writer of a configuration file follows (both
// stores, PutFileBytes, RemoveFileLocked): under the save lock (SaveLock.h),
// look at the file, compare it with what the store read, render the new
// content, replace the file, release the lock; and exclusive creation.
//
// A save replaces the file by a temporary file beside it (on Linux one
// without a name until it is complete), never readable by more users than the
// file, flushed, then renamed over it and the directory flushed: a killed
// writer leaves the old or the new file whole. The permissions and, where
// allowed, the owner and group are kept. Only where the directory takes no new
// file but the file is writable is it rewritten in place (InPlaceRewrite.h).
//
// Symbolic links are followed: the file at the end of the links is replaced
// and the links stay. A file with several hard links is different: a save by
// rename gives the saved name a new file of its own, and the other names keep
// the old content (an in-place rewrite changes them all).
//
// A failure leaves the file as it was and nothing beside it (no temporary, no
// lock file), with one exception: once the new file has its name, a failure
// to flush the directory is still reported as a failure (the new content is
// in place, but may not survive a crash), and so is a failure to remove the
// lock file; the message says so.
#ifndef DEZOV20_PLATFORM_SAVEPROTOCOL_H
#define DEZOV20_PLATFORM_SAVEPROTOCOL_H

#include <functional>
#include <string>

#include "FileStamp.h"
#include "FileWrite.h"
#include "Status.h"

namespace dezov {
namespace platform {

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

// The one save protocol. Takes the save lock of path (symbolic links
// followed; waits at most timeoutMs, then Status::Locked with nothing
// written), compares the file with readStamp and calls render(state, out): on
// kChanged state.bytes holds the file's current contents, so that the store
// can merge its own changes on top; kRemoved when readStamp saw a file that is
// gone. Writes out as described above, stores the new file's stamp in written
// and releases the lock. A render that fails writes nothing.
Status SaveLocked(const std::string& path, const FileStamp& readStamp, const SaveRenderer& render,
                  FileStamp& written, int timeoutMs = kSaveLockTimeoutMs);

// Replaces the file at path with exactly data as SaveLocked does, whatever it
// holds now (it is not read), giving it the owner and permissions asked for.
Status PutLocked(const std::string& path, const std::string& data, const FileOwnership& ownership,
                 int timeoutMs = kSaveLockTimeoutMs);

// Removes the file named path (a link itself, not what it leads to) under the
// save lock of the file it leads to; ok() when nothing is there afterwards.
Status RemoveLocked(const std::string& path, int timeoutMs = kSaveLockTimeoutMs);

// Creates path holding data only if nothing exists there, under the save
// lock; the file appears complete or not at all where the file system has
// hard links (else it is renamed into place under the lock). A name already
// taken gives IsAlreadyExists(), which callers that only need some file there
// may take as success.
Status CreateFileExclusive(const std::string& path, const std::string& data);

// Creates an empty file at path when nothing exists there; ok() when a file is
// there afterwards.
Status CreateEmptyFile(const std::string& path);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_SAVEPROTOCOL_H
