// SPDX-License-Identifier: MIT
#include "IniReadBack.h"

#include "IniLineSyntax.h"

namespace dezov {
namespace {

// One line as the writer puts it together.
struct LineText {
  std::string text;
  void Put(std::string_view piece) { text.append(piece.data(), piece.size()); }
};

bool HasLineFeed(std::string_view text) { return text.find('\n') != std::string_view::npos; }

bool HasOuterSpace(std::string_view text) {
  return !text.empty() && (IsIniSpace(text.front()) || IsIniSpace(text.back()));
}

// The reader splits lines at every line feed; the rest it sees trimmed.
bool HeaderReadsBack(std::string_view name) {
  LineText line;
  PutSectionHeader(line, name);
  if (HasLineFeed(line.text)) return false;
  const std::string_view trimmed = TrimIniSpace(line.text);
  return KindOfLine(trimmed) == IniLineKind::kSectionHeader && SectionNameOf(trimmed) == name;
}

bool KeyLineReadsBack(const IniKeyChange& change) {
  LineText line;
  PutKeyLine(line, change.name, change.value, change.comment);
  if (HasLineFeed(line.text)) return false;
  const std::string_view trimmed = TrimIniSpace(line.text);
  if (KindOfLine(trimmed) != IniLineKind::kText) return false;
  const KeyLineParts parts = SplitKeyLine(trimmed);
  return parts.name == change.name && parts.value == change.value &&
         parts.comment == change.comment;
}

// Why change does not read back: the first cause found, in the order the
// reader meets the texts (header, key name, value, comment).
std::string Cause(const IniKeyChange& change) {
  if (change.newSection && !HeaderReadsBack(change.section)) {
    if (HasLineFeed(change.section)) return "the section name holds a line break";
    if (HasOuterSpace(change.section))
      return "the section name starts or ends with white space, which the reader trims";
    if (change.section.find(']') != std::string_view::npos)
      return "the section name holds \"]\", which ends a section name";
    return "the section header would read back as another name";
  }
  if (HasLineFeed(change.name)) return "the key name holds a line break";
  if (HasOuterSpace(change.name))
    return "the key name starts or ends with white space, which the reader trims";
  if (change.name.find('=') != std::string_view::npos)
    return "the key name holds \"=\", which ends a key name";
  const IniLineKind kind = KindOfLine(change.name);
  if (!change.name.empty() && kind == IniLineKind::kBlankOrComment)
    return "the key name starts like a comment line (\";\", \"//\" or \"/*\")";
  if (kind == IniLineKind::kSectionHeader)
    return "the key name starts with \"[\", which starts a section header";
  if (HasLineFeed(change.value)) return "the value holds a line break";
  if (change.value.size() > 1 && change.value.find("//", 1) != std::string_view::npos)
    return "the value holds \"//\" after its first character, which this format reads as "
           "the start of a comment";
  if (HasLineFeed(change.comment)) return "the key's comment holds a line break";
  return "the key's line would read back differently";
}

}  // namespace

std::string ReadBackProblem(const IniKeyChange& change) {
  if ((!change.newSection || HeaderReadsBack(change.section)) && KeyLineReadsBack(change))
    return std::string();
  return "cannot set key '" + std::string(change.name) + "' in section '" +
         std::string(change.section) + "': " + Cause(change);
}

}  // namespace dezov
