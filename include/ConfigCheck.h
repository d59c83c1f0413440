// SPDX-License-Identifier: MIT
// Whether new bytes may replace a configuration file: the one acceptance rule
// that every way of replacing a file whole (the tool's put and sync, the Python
// module) applies before it writes.
#ifndef DEZOV20_CONFIG_CHECK_H
#define DEZOV20_CONFIG_CHECK_H

#include <string>

#include "DeZov20Export.h"

namespace dezov {

enum class ConfigKind { kXml, kIni };

// ".xml" in any case is XML; every other name is INI.
DEZOV20_API ConfigKind ConfigKindOf(const std::string& fileName);

// Whether bytes may replace the configuration file fileName: never empty; INI: no NUL byte;
// XML: opens as a store (root vornini) and, with a DEPLOY section, CheckDeployment finds no error.
// False with reason (GBK, naming fileName; deployment errors one per line) otherwise.
DEZOV20_API bool CheckConfigBytes(ConfigKind kind, const std::string& bytes,
                                  const std::string& fileName, std::string& reason);

}  // namespace dezov

#endif  // DEZOV20_CONFIG_CHECK_H
