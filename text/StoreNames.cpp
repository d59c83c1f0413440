// SPDX-License-Identifier: MIT
#include "../include/StoreNames.h"

#include "TextUtil.h"

namespace dezov {

bool SameName(const std::string& a, const std::string& b) { return NamesEqual(a, b); }

std::string ElementPath(const std::string& path, const std::string& name) {
  return path.empty() ? name : path + '\\' + name;
}

}  // namespace dezov
