// SPDX-License-Identifier: MIT
// Writing a file's whole content, owner and permissions through the
// FileSystem seam: the steps the temporary files and the in-place rewrite share.
#ifndef DEZOV20_PLATFORM_FILEWRITE_H
#define DEZOV20_PLATFORM_FILEWRITE_H

#include <string>

#include "FileStamp.h"
#include "FileSystem.h"
#include "Status.h"

namespace dezov {
namespace platform {

// Owner and permissions asked for a file a save writes; -1: as the save
// would give them by itself (the old file's, or a new file's defaults).
struct FileOwnership {
  int mode = -1;
  long owner = -1;
  long group = -1;
  bool any() const { return mode != -1 || owner != -1 || group != -1; }
};

// Writes all of data from the file's position; the OS error number of the
// first failure, 0 for success.
int WriteAll(const OpenFile& file, const std::string& data);

// Flushes the file to the device and, when stamp is given, stamps it.
int SyncAndStamp(const OpenFile& file, FileStamp* stamp);

// Gives the open file (named path in messages) the owner, group and
// permissions asked for, or else those of old (the file it replaces), when
// given. The old owner is kept where this process may give files away, the
// old group where it belongs to it; otherwise the file stays this user's, as
// any file it writes. An owner or mode asked for and refused fails.
Status GiveOwnership(const OpenFile& file, const std::string& path, const FileInfo* old,
                     const FileOwnership& asked);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_FILEWRITE_H
