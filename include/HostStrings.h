// SPDX-License-Identifier: MIT
// The host program's string table, used when a file name is passed as a small
// integer (a string-resource identifier) instead of a text.
//
// On Windows the table is the host executable's own string-table resource and
// these functions are not needed. Elsewhere the host registers its texts here.
#ifndef DEZOV20_HOST_STRINGS_H
#define DEZOV20_HOST_STRINGS_H

#include "DeZov20Export.h"

// Registers (or replaces) the text of string id `id`; a null text registers "".
DEZOV20_API void RegisterHostString(unsigned int id, const char* text);

// Forgets every registered text.
DEZOV20_API void ClearHostStrings();

#endif  // DEZOV20_HOST_STRINGS_H
