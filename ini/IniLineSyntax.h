// SPDX-License-Identifier: MIT
// The INI line grammar: what kind of line a text is, the parts of section
// headers and key lines, and the forms in which new headers and set keys are
// written. Shared by the reader, the writer and SetValue, which refuses texts
// that would not read back as written.
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

// What the reader makes of a trimmed line, in the order it asks.
enum class IniLineKind {
  kBlankOrComment,  // kept as is, attached to what follows
  kSectionHeader,   // starts a section
  kText,            // a key line inside a section; preamble text before the first
};
inline IniLineKind KindOfLine(std::string_view trimmed) {
  if (IsBlankOrComment(trimmed)) return IniLineKind::kBlankOrComment;
  return IsSectionHeader(trimmed) ? IniLineKind::kSectionHeader : IniLineKind::kText;
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

// The header of a section that has none yet: [name], without line end.
template <class Sink>
void PutSectionHeader(Sink& sink, std::string_view name) {
  sink.Put("[");
  sink.Put(name);
  sink.Put("]");
}

// The line of a key that was set: name=value, or name=value //comment,
// without line end.
template <class Sink>
void PutKeyLine(Sink& sink, std::string_view name, std::string_view value,
                std::string_view comment) {
  sink.Put(name);
  sink.Put("=");
  sink.Put(value);
  if (comment.empty()) return;
  sink.Put(" //");
  sink.Put(comment);
}

}  // namespace dezov

#endif  // DEZOV20_INI_INI_LINE_SYNTAX_H
