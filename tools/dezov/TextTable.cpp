// SPDX-License-Identifier: MIT
#include "TextTable.h"

#include <algorithm>
#include <utility>

namespace dezov {
namespace tool {

TextTable::TextTable(std::vector<std::string> header) { rows_.push_back(std::move(header)); }

void TextTable::AddRow(std::vector<std::string> cells) {
  cells.resize(rows_.front().size());
  rows_.push_back(std::move(cells));
}

std::vector<std::string> TextTable::Lines() const {
  std::vector<std::size_t> widths(rows_.front().size(), 0);
  for (const auto& row : rows_)
    for (std::size_t column = 0; column < row.size(); ++column)
      widths[column] = std::max(widths[column], row[column].size());
  std::vector<std::string> lines;
  for (const auto& row : rows_) {
    std::size_t used = row.size();  // cells up to the last non-empty one
    while (used > 0 && row[used - 1].empty()) --used;
    std::string line;
    for (std::size_t column = 0; column < used; ++column) {
      if (column > 0) line += "  ";
      line += row[column];
      if (column + 1 < used) line.append(widths[column] - row[column].size(), ' ');
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace tool
}  // namespace dezov
