#include <cstdint>

#include "../platform/Platform.h"
#include "TextUtil.h"

namespace dezov {

bool LoadResourceText(std::string& target, const char* source) {
  const auto value = reinterpret_cast<std::uintptr_t>(source);
  if (value == 0 || value > 0xFFFF) return false;
  std::string text;
  if (platform::LoadHostString(static_cast<unsigned int>(value), text)) target.swap(text);
  return true;
}

}  // namespace dezov
