#include <clocale>

#include "../Platform.h"

namespace dezov {
namespace platform {

void SetChineseLocale() {
  static const char* const kNames[] = {"zh_CN.GBK", "zh_CN.GB18030", "zh_CN.GB2312"};
  for (const char* name : kNames) {
    if (std::setlocale(LC_ALL, name) != nullptr) return;
  }
}

}  // namespace platform
}  // namespace dezov
