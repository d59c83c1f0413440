// SPDX-License-Identifier: MIT
// How the stores name what they hold: which names are the same name, and the
// XML store's element paths. For programs that list a store's content by name
// (the command-line tool, the Python module) and must match as the stores do.
#ifndef DEZOV20_STORE_NAMES_H
#define DEZOV20_STORE_NAMES_H

#include <string>

#include "DeZov20Export.h"

namespace dezov {

// True when the stores take a and b for the same section, key, element or
// attribute name: equal lengths, bytes equal ignoring the case of A-Z.
DEZOV20_API bool SameName(const std::string& a, const std::string& b);

// The XML store's path of the element named name below the element at path:
// "path\name", or name alone below the root (path "").
DEZOV20_API std::string ElementPath(const std::string& path, const std::string& name);

}  // namespace dezov

#endif  // DEZOV20_STORE_NAMES_H
