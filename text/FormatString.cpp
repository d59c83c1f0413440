#include <cstdarg>
#include <cstdio>

#include "TextUtil.h"

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

}  // namespace dezov
