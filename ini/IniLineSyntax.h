// The INI line grammar: what kind of line a text is, and the parts of section
// headers and key lines. Shared by the reader and by SetValue, which refuses
// texts that would not read back as written.
#ifndef DEZOV20_INI_INI_LINE_SYNTAX_H
#define DEZOV20_INI_INI_LINE_SYNTAX_H

#include <string_view>

namespace dezov {

// Space, tab, line feed, vertical tab, form feed, carriage return.
inline bool IsIniSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// text without leading and trailing white space.
std::string_view TrimIniSpace(std::string_view text);

// A trimmed line that is empty or starts with ";", "//" or "/*".
bool IsBlankOrComment(std::string_view trimmed);

// A trimmed line that starts a section.
inline bool IsSectionHeader(std::string_view trimmed) {
  return !trimmed.empty() && trimmed.front() == '[';
}

// Name of a trimmed header line: between "[" and the first "]", trimmed;
// empty without a "]".
std::string_view SectionNameOf(std::string_view trimmedHeader);

// The parts of a key line.
struct KeyLineParts {
  std::string_view name;     // before the first "=", trimmed
  std::string_view value;    // after it, up to a trailing comment, trimmed
  std::string_view comment;  // after the "//" of a trailing comment, as is
};

// Splits a trimmed key line. A line without "=" is all value.
KeyLineParts SplitKeyLine(std::string_view trimmed);

}  // namespace dezov

#endif  // DEZOV20_INI_INI_LINE_SYNTAX_H
