// SPDX-License-Identifier: MIT
// Rows of text cells laid out in aligned columns.
#ifndef DEZOV_TOOL_TEXT_TABLE_H
#define DEZOV_TOOL_TEXT_TABLE_H

#include <string>
#include <vector>

namespace dezov {
namespace tool {

// A table whose cells are GBK text. Columns are padded by byte count, which
// for GBK is also the width on screen: a Chinese character takes two bytes and
// two columns.
class TextTable {
 public:
  // A table with this header row.
  explicit TextTable(std::vector<std::string> header);
  // Appends a row; missing cells are empty, extra cells are dropped.
  void AddRow(std::vector<std::string> cells);
  // The header and the rows, columns two blanks apart, no trailing blanks.
  std::vector<std::string> Lines() const;

 private:
  std::vector<std::vector<std::string>> rows_;  // rows_[0] is the header
};

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_TEXT_TABLE_H
