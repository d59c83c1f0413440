#include <cstring>

#include "TextUtil.h"

namespace dezov {

void SplitString(const char* text, char delimiter, std::vector<std::string>& pieces,
                 int length) {
  text = OrEmpty(text);
  const std::size_t size =
      length < 0 ? std::strlen(text) : static_cast<std::size_t>(length);
  std::size_t start = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (text[i] == '\0') return;  // the piece under way is dropped
    if (text[i] == delimiter) {
      pieces.emplace_back(text + start, i - start);
      start = i + 1;
    }
  }
  if (size > start) pieces.emplace_back(text + start, size - start);
}

}  // namespace dezov
