// SPDX-License-Identifier: MIT
// Rewriting a file where it stands, for directories that take no new file.
#ifndef DEZOV20_PLATFORM_INPLACEREWRITE_H
#define DEZOV20_PLATFORM_INPLACEREWRITE_H

#include <string>

#include "FileStamp.h"
#include "FileWrite.h"
#include "Status.h"

namespace dezov {
namespace platform {

// Rewrites target with data, keeping the file itself (its inode, owner, other
// hard links); gives it the owner and mode asked for, if any. Room for a
// larger content is reserved first, so that a full disk fails with the old
// content whole (on file systems that copy on write the overwritten blocks
// may need room too, which nothing reserves). Not crash-safe: a crash or an
// I/O error part way leaves a partial file. written, when given, receives the
// stamp of the result.
Status RewriteInPlace(const std::string& target, const std::string& data,
                      const FileOwnership& asked, FileStamp* written);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_INPLACEREWRITE_H
