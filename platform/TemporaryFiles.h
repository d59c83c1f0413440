// SPDX-License-Identifier: MIT
// Temporary files beside a target: where a save writes the new content before
// giving it the target's name, and the sweep of those left by dead writers.
#ifndef DEZOV20_PLATFORM_TEMPORARYFILES_H
#define DEZOV20_PLATFORM_TEMPORARYFILES_H

#include <string>

#include "FileSystem.h"
#include "Status.h"

namespace dezov {
namespace platform {

// One temporary file of a target. Named ones never follow a link and never
// block: a name already taken (by anything: a link, a FIFO) is passed over for
// another. A live writer holds its temporary locked, which tells the sweep.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  // Removes a named temporary that was neither put in place nor discarded,
  // which happens only when an exception cuts a save short.
  ~TemporaryFile();

  // Creates an empty temporary beside target with mode (less the umask);
  // without a name where allowUnnamed and the system can (Linux), else named.
  // The OS error number, 0 for success; after a failure the caller discards it.
  int Create(const std::string& target, unsigned mode, bool allowUnnamed);
  const OpenFile& file() const { return file_; }

  // Gives a temporary made without a name a name beside its target, which it
  // needs before it can replace a file; fails where the system cannot (no /proc).
  int Name();

  // Closes the written, named temporary and gives it the target's name:
  // replacing the file there (replace), or only while the name is free (else
  // IsAlreadyExists(), and nothing changed).
  Status PutInPlace(bool replace);

  // Removes the temporary when it has a name. The OS error number.
  int Discard();

  // The temporary's path; empty while it has no name or once it is gone.
  const std::string& path() const { return path_; }

 private:
  std::string target_;
  std::string path_;
  OpenFile file_;
};

// Removes target's temporaries whose writers died before putting them in
// place: regular files of this user, with the shape of target's temporaries,
// that nobody holds locked and whose writer no longer runs (or that are older
// than 10 minutes). Anything else at such a name is left alone. A directory
// this user may not list has nothing it could remove; other failures fail.
Status RemoveStaleTemporaries(const std::string& target);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_TEMPORARYFILES_H
