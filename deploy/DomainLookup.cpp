// The general lookups: which domain of a named deployment serves a key or key
// range, and which matching domain follows a given one. Names and domain
// strings compare exactly; keys and bounds compare as byte strings (unsigned,
// lexicographic), never as numbers.
#include <string>

#include "../include/KdDeploy.h"
#include "DeployItem.h"

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

}  // namespace dezov

std::string CKdDeploy::GetDomainStr(std::string name, std::string key, std::string keyEnd) {
  if (key.empty()) return std::string();
  if (!keyEnd.empty() && key.compare(keyEnd) > 0) return std::string();
  const CDeployItem* item = _FindDeployment(name);
  if (item == nullptr) return std::string();
  for (std::size_t i = 0; i < item->domains.size(); ++i) {
    if (dezov::DomainMatches(*item, i, key, keyEnd)) return item->domains[i];
  }
  return std::string();
}

std::string CKdDeploy::GetDomain(std::string name, std::string key, std::string keyEnd) {
  return dezov::FirstPiece(GetDomainStr(name, key, keyEnd), ':');
}

std::string CKdDeploy::GetNextDomainStr(std::string name, std::string key, std::string keyEnd,
                                        std::string current) {
  const CDeployItem* item = _FindDeployment(name);
  if (item == nullptr) return std::string();
  const auto& domains = item->domains;
  std::size_t position = 0;
  while (position < domains.size() && domains[position] != current) ++position;
  if (position == domains.size()) return std::string();
  // A range search goes on from where the current domain's range ends.
  if (item->IsRange()) key = item->domainKeyEnds[position];
  for (std::size_t i = position + 1; i < domains.size(); ++i) {
    if (domains[i] == current) continue;
    if (dezov::DomainMatches(*item, i, key, keyEnd)) return domains[i];
  }
  return std::string();
}

std::string CKdDeploy::GetNextDomain(std::string name, std::string key, std::string keyEnd,
                                     std::string current) {
  return dezov::FirstPiece(GetNextDomainStr(name, key, keyEnd, current), ':');
}
