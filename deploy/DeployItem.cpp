// SPDX-License-Identifier: MIT
#include "DeployItem.h"

#include "../text/TextUtil.h"

namespace dezov {

bool DomainMatches(const CDeployItem& item, std::size_t index, const std::string& key,
                   const std::string& keyEnd) {
  if (item.IsRange()) {
    // The ranges overlap, both ends included.
    return key.compare(item.domainKeyEnds[index]) <= 0 &&
           keyEnd.compare(item.domainKeys[index]) >= 0;
  }
  return item.domainKeys[index].find(key) != std::string::npos;
}

std::string FilterDomains(const std::string& list, const std::string& text) {
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

std::string FirstPiece(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  SplitString(text.c_str(), delimiter, pieces);
  return pieces.empty() ? std::string() : pieces.front();
}

}  // namespace dezov
