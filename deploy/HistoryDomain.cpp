// The history domain: the "YYB" domain string lists the names open to a YYB
// key, and the "RQ" range deployment maps a key range to a text looked for in
// those names. Without a "YYB" domain the "RQ" domain string is the answer.
#include <algorithm>
#include <string>
#include <vector>

#include "../include/KdDeploy.h"
#include "DeployItem.h"

std::string CKdDeploy::GetHistoryDomain(std::string yybKey, std::string rqKey, std::string rqKeyEnd,
                                        std::string current) {
  const std::string branch = GetDomainStr(dezov::kBranchDeployment, yybKey, "");
  if (branch.empty()) {
    return current.empty() ? GetDomainStr(dezov::kDateDeployment, rqKey, rqKeyEnd)
                           : GetNextDomainStr(dezov::kDateDeployment, rqKey, rqKeyEnd, current);
  }
  if (current.empty()) {
    const std::string date = GetDomainStr(dezov::kDateDeployment, rqKey, rqKeyEnd);
    if (date.empty()) return std::string();
    return dezov::FirstPiece(dezov::FilterDomains(branch, date), ':');
  }
  // Walk the "RQ" domains behind current until one is named in the branch's
  // list. A repeated "RQ" domain string sends the walk back to a domain it
  // already tried, from where it would go round for ever: that ends it with "".
  std::vector<std::string> tried;
  for (std::string at = current;;) {
    const std::string date = GetNextDomainStr(dezov::kDateDeployment, rqKey, rqKeyEnd, at);
    if (date.empty()) return std::string();
    if (std::find(tried.begin(), tried.end(), date) != tried.end()) return std::string();
    const std::string names = dezov::FilterDomains(branch, date);
    if (!names.empty()) return dezov::FirstPiece(names, ':');
    tried.push_back(date);
    at = date;
  }
}
