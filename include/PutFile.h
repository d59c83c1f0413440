// SPDX-License-Identifier: MIT
// dezov::PutFileBytes and dezov::RemoveFileLocked: replacing or removing a
// configuration file as a whole, under the same save lock the stores take for
// their saves, so that neither ever interleaves with a store's save.
#ifndef DEZOV20_PUT_FILE_H
#define DEZOV20_PUT_FILE_H

#include <string>

#include "DeZov20Export.h"

namespace dezov {

// How the file PutFileBytes writes is owned and protected. Where files carry
// no POSIX owner or mode (Windows), anything but -1 fails the put.
struct PutOptions {
  int mode = -1;    // permission bits for the file; -1: keep the old file's, new files 0666 & ~umask
  long owner = -1;  // uid to give the file (needs privilege); -1: keep / the caller's
  long group = -1;  // gid likewise
};

// Replaces fileName with exactly bytes, atomically, under the save lock every store save takes
// (so it never interleaves with a store's save); creates it when missing. False with reason
// (naming the file, with the OS's reason) and the file unchanged on failure.
DEZOV20_API bool PutFileBytes(const std::string& fileName, const std::string& bytes,
                              const PutOptions& options, std::string& reason);

// Removes fileName under the same save lock; true when it is gone (also when it never existed).
DEZOV20_API bool RemoveFileLocked(const std::string& fileName, std::string& reason);

}  // namespace dezov

#endif  // DEZOV20_PUT_FILE_H
