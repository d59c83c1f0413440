// SPDX-License-Identifier: MIT
// The exported reading of standard input, over each platform's own reading.
#include "../include/InputBytes.h"

#include "StandardInput.h"

namespace dezov {

bool ReadStandardInputBytes(std::string& data, std::string& reason) {
  const Status read = platform::ReadStandardInput(data);
  if (!read.ok()) reason = read.message();
  return read.ok();
}

}  // namespace dezov
