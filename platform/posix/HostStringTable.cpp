// SPDX-License-Identifier: MIT
// Off Windows the host program has no string-table resource: its texts are
// the ones it registered.
#include "../Platform.h"

namespace dezov {
namespace platform {

bool LoadHostString(unsigned int id, std::string& text) { return LoadRegisteredString(id, text); }

}  // namespace platform
}  // namespace dezov
