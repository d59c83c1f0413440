// Text work on domain strings that hold several names: a domain string lists
// names separated by ':', and the trade lookups hand lists out with ','.
#include <string>
#include <vector>

#include "../text/TextUtil.h"
#include "DeployItem.h"

namespace dezov {

std::string FilterDomains(std::string list, std::string text) {
  std::vector<std::string> names;
  SplitString(list.c_str(), ':', names);
  std::string kept;
  for (const std::string& name : names) {
    if (name.find(text) == std::string::npos) continue;
    kept += name;
    kept += ':';
  }
  return kept;
}

void ReplaceChar(std::size_t n, char* buffer, char from, char to) {
  if (buffer == nullptr) return;
  for (std::size_t i = 0; i < n; ++i) {
    if (buffer[i] == from) buffer[i] = to;
  }
}

std::string FirstPiece(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  SplitString(text.c_str(), delimiter, pieces);
  return pieces.empty() ? std::string() : pieces.front();
}

}  // namespace dezov
