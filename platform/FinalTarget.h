// SPDX-License-Identifier: MIT
// Where a save really writes: the file a path leads to through symbolic links.
#ifndef DEZOV20_PLATFORM_FINALTARGET_H
#define DEZOV20_PLATFORM_FINALTARGET_H

#include <string>

#include "Status.h"

namespace dezov {
namespace platform {

// Follows the symbolic links (and Windows junctions) at path to the name that
// is no link, into target; a link to nothing gives the missing name it points
// to. A link that cannot be read, or more than 40 of them, fails.
Status FinalTarget(const std::string& path, std::string& target);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_FINALTARGET_H
