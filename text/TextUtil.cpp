// SPDX-License-Identifier: MIT
#include "TextUtil.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "../platform/Platform.h"

namespace dezov {

void FormatString(std::string& target, const char* format, ...) {
  char first[2048 + 1];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int needed = std::vsnprintf(first, sizeof first, OrEmpty(format), args);
  va_end(args);
  if (needed < 0) {  // encoding error: keep nothing rather than garbage
    va_end(again);
    target.clear();
    return;
  }
  if (static_cast<std::size_t>(needed) < sizeof first) {
    va_end(again);
    target.assign(first, static_cast<std::size_t>(needed));
    return;
  }
  // Too long for the first attempt: format once more on the heap, then cut.
  std::string text(static_cast<std::size_t>(needed), '\0');
  std::vsnprintf(text.data(), text.size() + 1, OrEmpty(format), again);
  va_end(again);
  if (text.size() > kFormatLimit) text.resize(kFormatLimit);
  target.swap(text);
}

void SplitString(const char* text, char delimiter, std::vector<std::string>& pieces) {
  text = OrEmpty(text);
  const std::size_t size = std::strlen(text);
  std::size_t start = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (text[i] == delimiter) {
      pieces.emplace_back(text + start, i - start);
      start = i + 1;
    }
  }
  if (size > start) pieces.emplace_back(text + start, size - start);
}

bool LoadResourceText(std::string& target, const char* source) {
  const auto value = reinterpret_cast<std::uintptr_t>(source);
  if (value == 0 || value > 0xFFFF) return false;
  std::string text;
  if (platform::LoadHostString(static_cast<unsigned int>(value), text)) target.swap(text);
  return true;
}

}  // namespace dezov
