// Trade and query domains: the "YYB" and "JYS" deployments combined by the
// resolver's scheme into a ','-separated list of domain names.
#include <string>
#include <vector>

#include "../include/KdDeploy.h"
#include "../text/TextUtil.h"
#include "DeployItem.h"

std::string CKdDeploy::GetMulTradeDomain(std::string yybKey, std::string jysKey) {
  const std::string exchange = GetDomainStr(dezov::kExchangeDeployment, jysKey, "");
  const std::string branch = GetDomainStr(dezov::kBranchDeployment, yybKey, "");
  std::string list;
  switch (scheme) {
    case 1:
      list = branch;
      break;
    case 2:
      list = exchange;
      break;
    case 3:
      list = dezov::FilterDomains(branch, exchange);
      break;
    default:
      return std::string();
  }
  dezov::ReplaceChar(list.size(), list.data(), ':', ',');
  return list;
}

std::string CKdDeploy::GetTradeDomain(std::string& yybKey, std::string& jysKey) {
  return dezov::FirstPiece(GetMulTradeDomain(yybKey, jysKey), ',');
}

bool CKdDeploy::GetNextQueryDomain(std::string yybKey, std::string jysKey, std::string current,
                                   std::string& result) {
  std::vector<std::string> names;
  dezov::SplitString(GetMulTradeDomain(yybKey, jysKey).c_str(), ',', names);
  // The whole list is walked: with current listed twice, the later one wins.
  std::string next;
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    if (names[i] == current) next = names[i + 1];
  }
  result = next;
  return !result.empty();
}
