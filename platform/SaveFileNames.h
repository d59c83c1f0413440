// SPDX-License-Identifier: MIT
// The names of the files a save makes beside its target: the lock file every
// saver of the target finds under the same name, and temporary files that a
// later save recognises as the target's.
//
// Both start with "." and a tag of the target's name: up to 16 of its leading
// printable ASCII bytes, "-" and 16 hex digits of a hash of the whole name
// with ASCII letters folded to lower case (so that names one case-insensitive
// file system takes for the same file share a lock file there). The lock file
// is ".<tag>.lk", a temporary ".<tag>.<pid>.<8 hex digits>.tmp": short enough
// beside a 255-byte name.
#ifndef DEZOV20_PLATFORM_SAVEFILENAMES_H
#define DEZOV20_PLATFORM_SAVEFILENAMES_H

#include <string>

namespace dezov {
namespace platform {

// The path of target's lock file.
std::string LockFileOf(const std::string& target);

// A fresh path for a temporary file of target, made by this process.
std::string NewTemporaryOf(const std::string& target);

// The id of the process that made name, a directory entry beside target, when
// it has the shape of one of target's temporaries; 0 otherwise.
long TemporaryWriter(const std::string& target, const std::string& name);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_SAVEFILENAMES_H
