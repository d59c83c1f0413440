// What the portable file code (FileLock.cpp, FileReplace.cpp) and the two OS
// halves share inside the platform layer; not part of its API. Each half
// implements the first group, the portable files the second.
#ifndef DEZOV20_PLATFORM_FILEINTERNALS_H
#define DEZOV20_PLATFORM_FILEINTERNALS_H

#include <string>

#include "FileLock.h"
#include "FileSystem.h"
#include "Status.h"

namespace dezov {
namespace platform {

// Per OS.

// Follows symbolic links (and junctions) to the file that is really written.
std::string FinalTarget(const std::string& path);

// ReplaceFileContents for a target whose links are already resolved.
Status ReplaceResolved(const std::string& target, const std::string& data, FileStamp* written);

// Removes the temporary files beside target left by writers that died before
// renaming them into place.
void RemoveStaleTemporaries(const std::string& target);

// Opens the file whose lock guards the saves of target: its lock file beside
// it, or target itself where no lock file can be made beside an existing one.
Status OpenSaveLock(const std::string& target, OpenFile& lock);

// Opens path to read all of it (a directory is refused) and stamps what it opened.
Status OpenWholeFile(const std::string& path, OpenFile& file, FileStamp& stamp);

// The stamp of an open file; the OS error number, 0 for success.
int StampOpenFile(const OpenFile& file, FileStamp& stamp);

// A call cut short by a signal, to be made again.
bool IsInterrupted(int osError);

// TryLock failed only for now (another open file holds the lock): wait and try again.
bool IsLockBusy(int osError);

// The OS error number reported for a write that writes nothing.
int NoProgressError();

// Portable.

// Writes all of data to file and flushes it; stamp, when given, receives the
// file's stamp after the flush. The first failure's OS error number, 0 for success.
int FillFile(const OpenFile& file, const std::string& data, FileStamp* stamp);

// Rewrites target where it stands, keeping its identity: for directories that
// take no new file. Not crash-safe.
Status RewriteInPlace(const std::string& target, const std::string& data, FileStamp* written);

// Creates path holding data without a temporary file; a failure part way
// removes it again.
Status CreateDirectly(const std::string& path, const std::string& data);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_FILEINTERNALS_H
