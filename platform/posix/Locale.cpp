// SPDX-License-Identifier: MIT
#include "../Platform.h"

namespace dezov {
namespace platform {

// Nothing: no string of the library depends on the process locale here, and
// changing it would change every other thread's conversions too. A host that
// wants a GBK locale sets it itself.
void SetChineseLocale() {}

}  // namespace platform
}  // namespace dezov
