// SPDX-License-Identifier: MIT
#include "IniLineSyntax.h"

namespace dezov {

std::string_view TrimIniSpace(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsIniSpace(text[begin])) ++begin;
  while (end > begin && IsIniSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool IsBlankOrComment(std::string_view trimmed) {
  if (trimmed.empty() || trimmed.front() == ';') return true;
  return trimmed.size() >= 2 && trimmed[0] == '/' && (trimmed[1] == '/' || trimmed[1] == '*');
}

std::string_view SectionNameOf(std::string_view trimmedHeader) {
  const std::size_t close = trimmedHeader.find(']');
  if (close == std::string_view::npos) return std::string_view();
  return TrimIniSpace(trimmedHeader.substr(1, close - 1));
}

KeyLineParts SplitKeyLine(std::string_view trimmed) {
  KeyLineParts parts;
  std::string_view rest = trimmed;
  const std::size_t equals = trimmed.find('=');
  if (equals != std::string_view::npos) {
    parts.name = TrimIniSpace(trimmed.substr(0, equals));
    rest = trimmed.substr(equals + 1);
  }
  // A "//" at the very start belongs to the value (e.g. a share path).
  const std::size_t slashes = rest.size() > 1 ? rest.find("//", 1) : std::string_view::npos;
  if (slashes != std::string_view::npos) {
    parts.comment = rest.substr(slashes + 2);
    rest = rest.substr(0, slashes);
  }
  parts.value = TrimIniSpace(rest);
  return parts;
}

}  // namespace dezov
