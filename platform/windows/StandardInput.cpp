// SPDX-License-Identifier: MIT
// Standard input on Windows: ReadFile on the standard input handle, which
// never translates line ends (the C runtime's text mode would). A closed pipe
// ends the input like end of file.
#include "../StandardInput.h"

#include <windows.h>

namespace dezov {
namespace platform {

Status ReadStandardInput(std::string& data) {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(input, buffer, sizeof buffer, &got, nullptr)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_BROKEN_PIPE) break;
      return OsError("cannot read", "standard input", static_cast<int>(error));
    }
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  data.swap(bytes);
  return Status::Ok();
}

}  // namespace platform
}  // namespace dezov
