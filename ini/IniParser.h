// SPDX-License-Identifier: MIT
// Parsing INI text from memory into the store's model. The reader of files
// and the merge of a save both use it; it does no I/O of its own.
#ifndef DEZOV20_INI_INI_PARSER_H
#define DEZOV20_INI_INI_PARSER_H

#include <memory>
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

// Parses a text handed over in pieces of any size, so that a file need not be
// held whole: appends its sections to sections (owned) and, on Finish,
// replaces tail with the lines after the last header or key line. Feed and
// Finish throw std::bad_alloc when memory runs out (the lists may then hold
// part of the text). Malformed text never fails.
class IniTextParser {
 public:
  IniTextParser(std::vector<CKdIni::CIniSection*>& sections, std::vector<std::string>& tail);
  ~IniTextParser();
  IniTextParser(const IniTextParser&) = delete;
  IniTextParser& operator=(const IniTextParser&) = delete;

  // The next piece of the text.
  void Feed(std::string_view piece);
  // Ends the text: its last line, the tail lines, and how its lines are written.
  IniLayout Finish();

 private:
  class ModelBuilder;
  void AddLine(std::string_view line);

  std::unique_ptr<ModelBuilder> builder_;
  std::string partial_;  // the start of a line whose end is in a later piece
  IniLayout layout_;
  bool first_line_ = true;
};

// The whole text at once; false when memory ran out.
bool ParseIni(std::string_view bytes, std::vector<CKdIni::CIniSection*>& sections,
              std::vector<std::string>& tail, IniLayout& layout);

}  // namespace dezov

#endif  // DEZOV20_INI_INI_PARSER_H
