// Parsing INI text from memory into the store's model. The reader of files
// and the merge of a save both use it; it does no I/O of its own.
#ifndef DEZOV20_INI_INI_PARSER_H
#define DEZOV20_INI_INI_PARSER_H

#include <string>
#include <string_view>
#include <vector>

#include "../include/KdIni.h"

namespace dezov {

// How the text's lines are written, so that a rewrite keeps it.
struct IniLayout {
  bool byteOrderMark = false;  // starts with a UTF-8 byte-order mark
  bool sawLineEnd = false;     // at least one line ends in LF
  bool crLfLines = false;      // the first line end is CR LF (valid if sawLineEnd)
};

// Appends the sections of bytes to sections (owned) and replaces tail with
// the lines after the last header or key line. False when memory ran out (the
// lists may then hold part of the text). Never fails on malformed text.
bool ParseIni(std::string_view bytes, std::vector<CKdIni::CIniSection*>& sections,
              std::vector<std::string>& tail, IniLayout& layout);

}  // namespace dezov

#endif  // DEZOV20_INI_INI_PARSER_H
