// SPDX-License-Identifier: MIT
// Conversion between the terminal's encoding, in which the user types
// arguments and reads answers, and UTF-8, the text the tool works in between
// the terminal and a file's own encoding.
#ifndef DEZOV_TOOL_TERMINAL_TEXT_H
#define DEZOV_TOOL_TERMINAL_TEXT_H

#include <string>

namespace dezov {
namespace tool {

// Converts whole texts exactly, or refuses them with a message saying why.
class TerminalText {
 public:
  // Converts for a terminal speaking codeset (e.g. "UTF-8").
  explicit TerminalText(std::string codeset);
  // text typed by the user as UTF-8; throws a Failure naming `what` when the
  // text is not valid in the terminal's encoding.
  std::string ToUtf8(const std::string& text, const std::string& what) const;
  // UTF-8 text as the terminal shows it; throws a Failure when the
  // terminal's encoding cannot show a character.
  std::string FromUtf8(const std::string& utf8) const;

 private:
  std::string codeset_;
};

// The code point of the UTF-8 sequence at offset as "U+XXXX" (the text is
// valid UTF-8), or "a character" past its end.
std::string CharacterAt(const std::string& utf8, std::size_t offset);

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_TERMINAL_TEXT_H
