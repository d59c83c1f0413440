// One loaded deployment of the resolver, and the small pieces of text work the
// lookups share. Internal to the library.
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

// Deployment names the trade and history lookups combine.
constexpr char kBranchDeployment[] = "YYB";
constexpr char kExchangeDeployment[] = "JYS";
constexpr char kDateDeployment[] = "RQ";

// True when domain `index` of item serves key (text deployment) or overlaps
// the key range [key, keyEnd] (range deployment). Byte-wise, case-sensitive.
bool DomainMatches(const CDeployItem& item, std::size_t index, const std::string& key,
                   const std::string& keyEnd);

// Every ':'-separated name of list that contains text, in list order, each
// followed by ':'; "" when none does.
std::string FilterDomains(std::string list, std::string text);

// Overwrites each of the first n bytes of buffer equal to from with to.
void ReplaceChar(std::size_t n, char* buffer, char from, char to);

// The first piece of text cut at delimiter; "" when there is none.
std::string FirstPiece(const std::string& text, char delimiter);

}  // namespace dezov

#endif  // DEZOV20_DEPLOY_DEPLOY_ITEM_H
