// SPDX-License-Identifier: MIT
#include <clocale>

#include "../Platform.h"

namespace dezov {
namespace platform {

// Best effort: the runtime's name for code page 936. Nothing in the library
// depends on it (texts are converted with an explicit GBK transcoder), it only
// keeps the host's own locale-dependent calls behaving as they always have.
void SetChineseLocale() { (void)std::setlocale(LC_ALL, "chinese-simplified"); }

}  // namespace platform
}  // namespace dezov
