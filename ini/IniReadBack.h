// SPDX-License-Identifier: MIT
// The rule behind SetValue's refusals: what it accepts, a later read of the
// written file gives back exactly. The lines a save will write for the change
// are made and read again with the reader's own line grammar; any difference
// refuses the change.
#ifndef DEZOV20_INI_INI_READ_BACK_H
#define DEZOV20_INI_INI_READ_BACK_H

#include <string>
#include <string_view>

namespace dezov {

// What SetValue is about to hold in memory for one key.
struct IniKeyChange {
  std::string_view section;  // the section name as the caller gave it
  bool newSection;           // its header will be written from section
  std::string_view name;     // the key's name as it will be stored
  std::string_view value;
  std::string_view comment;  // the trailing comment the key keeps
};

// Empty when the written lines read back as change; otherwise why not,
// naming the section and key and the text that would not survive.
std::string ReadBackProblem(const IniKeyChange& change);

}  // namespace dezov

#endif  // DEZOV20_INI_INI_READ_BACK_H
