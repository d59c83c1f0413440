// Helpers the Windows half's file functions share (not part of the platform API).
#ifndef DEZOV20_PLATFORM_WINDOWS_WINDOWSFILES_H
#define DEZOV20_PLATFORM_WINDOWS_WINDOWSFILES_H

#include <windows.h>

#include <string>

#include "../FileLock.h"
#include "../FileSystem.h"
#include "../Status.h"

namespace dezov {
namespace platform {

inline HANDLE HandleOf(const OpenFile& file) { return reinterpret_cast<HANDLE>(file.get()); }

// Follows a symbolic link or junction to the file that is really written.
std::string FinalTarget(const std::string& path);

// The stamp of an open file; false when the system cannot tell.
bool StampOfHandle(HANDLE file, FileStamp& stamp);

// Writes all of data; the first failure's error code, 0 for success.
int WriteAll(NativeFile file, const std::string& data);

// ReplaceFileContents for a target whose links are already resolved.
Status ReplaceResolved(const std::string& target, const std::string& data, FileStamp* written);

// Removes temporary files beside target whose writers are gone (a live
// writer holds its temporary open without sharing, so it cannot be deleted).
void RemoveStaleTemporaries(const std::string& target);

// Temporary files of target: ".<name>.tmp<pid>-<counter>-<random>" beside it.
std::string NewTemporaryName(const std::string& target);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_WINDOWS_WINDOWSFILES_H
