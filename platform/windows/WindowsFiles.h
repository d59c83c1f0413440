// Helpers the Windows half's file functions share (not part of the platform API).
#ifndef DEZOV20_PLATFORM_WINDOWS_WINDOWSFILES_H
#define DEZOV20_PLATFORM_WINDOWS_WINDOWSFILES_H

#include <windows.h>

#include <string>

#include "../FileInternals.h"

namespace dezov {
namespace platform {

inline HANDLE HandleOf(const OpenFile& file) { return reinterpret_cast<HANDLE>(file.get()); }

// The stamp of an open file; false when the system cannot tell.
bool StampOfHandle(HANDLE file, FileStamp& stamp);

// Temporary files of target: ".<name>.tmp<pid>-<counter>-<random>" beside it.
std::string NewTemporaryName(const std::string& target);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_WINDOWS_WINDOWSFILES_H
