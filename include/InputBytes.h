// SPDX-License-Identifier: MIT
// The process's standard input as bytes, for programs that take a file's
// content or a value from a pipe (the command-line tool's put and "-" values).
#ifndef DEZOV20_INPUT_BYTES_H
#define DEZOV20_INPUT_BYTES_H

#include <string>

#include "DeZov20Export.h"

namespace dezov {

// Reads standard input to its end into data, exactly as sent: line ends are
// never translated (Windows' text mode would) and 0x1A ends nothing. False
// with the OS's reason (data then unspecified).
DEZOV20_API bool ReadStandardInputBytes(std::string& data, std::string& reason);

}  // namespace dezov

#endif  // DEZOV20_INPUT_BYTES_H
