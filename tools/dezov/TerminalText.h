// Conversion between the terminal's encoding, in which the user types
// arguments and reads answers, and GBK, the encoding of the stores' texts.
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
  // text typed by the user as GBK; throws a Failure naming `what` when the
  // text is not valid in the terminal's encoding or GBK cannot hold it.
  std::string ToGbk(const std::string& text, const std::string& what) const;
  // GBK text as the terminal shows it; throws a Failure when the bytes are not
  // GBK or the terminal's encoding cannot show a character.
  std::string FromGbk(const std::string& gbk) const;

 private:
  std::string codeset_;
};

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_TERMINAL_TEXT_H
