// SPDX-License-Identifier: MIT
// Standard input on POSIX systems: read(2) on descriptor 0, which never
// translates line ends.
#include "../StandardInput.h"

#include <unistd.h>

#include <cerrno>

namespace dezov {
namespace platform {

Status ReadStandardInput(std::string& data) {
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      return OsError("cannot read", "standard input", errno);
    }
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  data.swap(bytes);
  return Status::Ok();
}

}  // namespace platform
}  // namespace dezov
