// SPDX-License-Identifier: MIT
// The calling process's id and user on POSIX systems.
#include <unistd.h>

#include "../Platform.h"

namespace dezov {
namespace platform {

long CurrentProcessId() { return static_cast<long>(::getpid()); }

long CurrentUserId() { return static_cast<long>(::geteuid()); }

}  // namespace platform
}  // namespace dezov
