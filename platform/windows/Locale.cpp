// SPDX-License-Identifier: MIT
#include <clocale>
#include <mutex>

#include "../Platform.h"

namespace dezov {
namespace platform {

// Best effort: the runtime's name for code page 936. Nothing in the library
// depends on it (texts are converted with an explicit GBK transcoder), it only
// keeps the host's own locale-dependent calls behaving as they always have.
// The runtime's setlocale is not safe against itself on several threads at
// once, and stores are made on many threads: the library's calls take turns.
void SetChineseLocale() {
  static std::mutex turns;
  const std::lock_guard<std::mutex> hold(turns);
  (void)std::setlocale(LC_ALL, "chinese-simplified");
}

}  // namespace platform
}  // namespace dezov
