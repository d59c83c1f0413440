// SPDX-License-Identifier: MIT
// The fields of a value cut at a delimiter, as the library cuts them: the INI
// store's GetSubValue numbers these fields, and the resolver reads its lists
// ("name,kind", "domain,lower:upper", the trade domain list) the same way.
#ifndef DEZOV20_VALUE_FIELDS_H
#define DEZOV20_VALUE_FIELDS_H

#include <string>
#include <vector>

#include "DeZov20Export.h"

namespace dezov {

// The fields of text cut at delimiter: every delimiter ends a field, empty
// ones included; a non-empty rest is the last field, so a trailing delimiter
// adds none and "" has no fields. The text ends at its first NUL byte.
DEZOV20_API std::vector<std::string> SplitFields(const std::string& text, char delimiter);

}  // namespace dezov

#endif  // DEZOV20_VALUE_FIELDS_H
