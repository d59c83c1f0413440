// SPDX-License-Identifier: MIT
// The calling process's id on Windows; files there have no POSIX owner.
#include <windows.h>

#include "../Platform.h"

namespace dezov {
namespace platform {

long CurrentProcessId() { return static_cast<long>(::GetCurrentProcessId()); }

long CurrentUserId() { return -1; }

}  // namespace platform
}  // namespace dezov
