// SPDX-License-Identifier: MIT
#include "../include/ValueFields.h"

#include "TextUtil.h"

namespace dezov {

std::vector<std::string> SplitFields(const std::string& text, char delimiter) {
  std::vector<std::string> fields;
  SplitString(text.c_str(), delimiter, fields);
  return fields;
}

}  // namespace dezov
