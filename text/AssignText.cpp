#include "TextUtil.h"

namespace dezov {

void AssignText(std::string& target, const char* source) {
  if (source == nullptr) {
    target.clear();
    return;
  }
  std::string copy(source);  // source may point into target
  target.swap(copy);
}

}  // namespace dezov
