// SPDX-License-Identifier: MIT
// One loaded deployment of the resolver, and the rules by which its domains
// serve keys. Internal to the library.
#ifndef DEZOV20_DEPLOY_DEPLOY_ITEM_H
#define DEZOV20_DEPLOY_DEPLOY_ITEM_H

#include <cstddef>
#include <string>
#include <vector>

// A named list of domains. A range deployment (kind 1) serves key ranges that
// overlap [domainKeys[i], domainKeyEnds[i]]; any other kind is a text
// deployment whose domain i serves every key contained in domainKeys[i].
// The lists are parallel: domainKeyEnds is filled for range deployments only.
struct CDeployItem {
  std::string name;                        // deployment and section name
  int kind = 0;                            // 1: range deployment
  std::vector<std::string> domains;        // domain strings, in key order
  std::vector<std::string> domainKeys;     // match texts, or lower bounds
  std::vector<std::string> domainKeyEnds;  // upper bounds (range deployments)

  // True for a range deployment.
  bool IsRange() const { return kind == 1; }
};

namespace dezov {

// True when domain `index` of item serves key (text deployment) or overlaps
// the key range [key, keyEnd] (range deployment). Byte-wise, case-sensitive;
// keys and bounds compare as byte strings, never as numbers.
bool DomainMatches(const CDeployItem& item, std::size_t index, const std::string& key,
                   const std::string& keyEnd);

// Every ':'-separated name of list that contains text, in list order, each
// followed by ':'; "" when none does.
std::string FilterDomains(const std::string& list, const std::string& text);

// The first piece of text cut at delimiter; "" when there is none.
std::string FirstPiece(const std::string& text, char delimiter);

}  // namespace dezov

#endif  // DEZOV20_DEPLOY_DEPLOY_ITEM_H
