// SPDX-License-Identifier: MIT
// The process's standard input as bytes, unchanged by any text-mode
// translation of line ends.
#ifndef DEZOV20_PLATFORM_STANDARD_INPUT_H
#define DEZOV20_PLATFORM_STANDARD_INPUT_H

#include <string>

#include "Status.h"

namespace dezov {
namespace platform {

// Reads standard input to its end into data (replacing what data held).
Status ReadStandardInput(std::string& data);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_STANDARD_INPUT_H
