// SPDX-License-Identifier: MIT
// The resolver: its tables, loading, the general lookups, the trade and
// history lookups that combine deployments, and the process-wide pointer.
#include "../include/KdDeploy.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "../text/TextUtil.h"
#include "DeployDescription.h"
#include "DeployItem.h"

// ---- Tables and loading -----------------------------------------------

CKdDeploy::CKdDeploy() : scheme(0) {}

CKdDeploy::CKdDeploy(const CKdDeploy& other) : scheme(other.scheme) {
  deployments.reserve(other.deployments.size());
  for (const auto& item : other.deployments) {
    deployments.push_back(std::make_unique<CDeployItem>(*item));
  }
}

CKdDeploy& CKdDeploy::operator=(const CKdDeploy& other) {
  if (this != &other) {
    CKdDeploy copy(other);  // a failing copy leaves this resolver as it was
    deployments.swap(copy.deployments);
    scheme = copy.scheme;
  }
  return *this;
}

CKdDeploy::~CKdDeploy() { Free(); }

void CKdDeploy::Free() { deployments.clear(); }

int CKdDeploy::GetScheme() const { return scheme; }

int CKdDeploy::GetDeploymentCount() const { return static_cast<int>(deployments.size()); }

bool CKdDeploy::GetDeployment(int index, Deployment& deployment) const {
  if (index < 0 || static_cast<std::size_t>(index) >= deployments.size()) return false;
  const CDeployItem& item = *deployments[static_cast<std::size_t>(index)];
  Deployment listed;
  listed.name = item.name;
  listed.kind = item.kind;
  listed.range = item.IsRange();
  listed.domains = item.domains;
  listed.keys = item.domainKeys;
  listed.keyEnds = item.domainKeyEnds;
  listed.keyEnds.resize(item.domains.size());
  deployment = std::move(listed);
  return true;
}

void CKdDeploy::InitDeloy(CXmlIni* pIni) {
  if (pIni == nullptr) return;
  // The new table is complete before the old one goes: a load that fails part
  // way (an allocation, an exception out of the store) leaves the resolver as
  // it was.
  dezov::DeployDescription description = dezov::ReadDeployDescription(*pIni);
  const int named = dezov::SchemeOf(description);
  std::vector<std::unique_ptr<CDeployItem>> loaded;
  loaded.reserve(description.deployments.size());
  for (auto& deployment : description.deployments)
    loaded.push_back(std::make_unique<CDeployItem>(std::move(deployment.item)));
  deployments.swap(loaded);
  if (named != 0) scheme = named;  // without "YYB" or "JYS" the scheme stays
}

const CDeployItem* CKdDeploy::_FindDeployment(const std::string& name) const {
  for (const auto& item : deployments) {
    if (item->name == name) return item.get();
  }
  return nullptr;
}

// ---- General lookups ----------------------------------------------------
// Names and domain strings compare exactly; keys and bounds as byte strings.

std::string CKdDeploy::GetDomainStr(std::string name, std::string key,
                                    std::string keyEnd) const {
  if (key.empty()) return std::string();
  if (!keyEnd.empty() && key.compare(keyEnd) > 0) return std::string();
  const CDeployItem* item = _FindDeployment(name);
  if (item == nullptr) return std::string();
  for (std::size_t i = 0; i < item->domains.size(); ++i) {
    if (dezov::DomainMatches(*item, i, key, keyEnd)) return item->domains[i];
  }
  return std::string();
}

std::string CKdDeploy::GetDomain(std::string name, std::string key, std::string keyEnd) const {
  return dezov::FirstPiece(GetDomainStr(name, key, keyEnd), ':');
}

std::string CKdDeploy::GetNextDomainStr(std::string name, std::string key, std::string keyEnd,
                                        std::string current) const {
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
                                     std::string current) const {
  return dezov::FirstPiece(GetNextDomainStr(name, key, keyEnd, current), ':');
}

// ---- Trade and query domains ---------------------------------------------
// The "YYB" and "JYS" domain strings combined by the scheme into a
// ','-separated list of domain names.

std::string CKdDeploy::GetMulTradeDomain(std::string yybKey, std::string jysKey) const {
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
  std::replace(list.begin(), list.end(), ':', ',');
  return list;
}

std::string CKdDeploy::GetTradeDomain(std::string& yybKey, std::string& jysKey) const {
  return dezov::FirstPiece(GetMulTradeDomain(yybKey, jysKey), ',');
}

bool CKdDeploy::GetNextQueryDomain(std::string yybKey, std::string jysKey, std::string current,
                                   std::string& result) const {
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

// ---- History domain -------------------------------------------------------
// The "YYB" domain string lists the names open to a YYB key; the "RQ" range
// deployment maps a key range to a text looked for in those names. Without a
// "YYB" domain the "RQ" domain string is the answer.

std::string CKdDeploy::GetHistoryDomain(std::string yybKey, std::string rqKey, std::string rqKeyEnd,
                                        std::string current) const {
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

// ---- The lookups on a non-const resolver ---------------------------------
// As the resolver first exported them. They only read, so each forwards to its
// read-only twin; both stay exported so that programs built against either
// keep linking.

namespace {
const CKdDeploy& ReadOnly(const CKdDeploy& resolver) { return resolver; }
}  // namespace

int CKdDeploy::GetScheme() { return ReadOnly(*this).GetScheme(); }

std::string CKdDeploy::GetDomainStr(std::string name, std::string key, std::string keyEnd) {
  return ReadOnly(*this).GetDomainStr(name, key, keyEnd);
}

std::string CKdDeploy::GetDomain(std::string name, std::string key, std::string keyEnd) {
  return ReadOnly(*this).GetDomain(name, key, keyEnd);
}

std::string CKdDeploy::GetNextDomainStr(std::string name, std::string key, std::string keyEnd,
                                        std::string current) {
  return ReadOnly(*this).GetNextDomainStr(name, key, keyEnd, current);
}

std::string CKdDeploy::GetNextDomain(std::string name, std::string key, std::string keyEnd,
                                     std::string current) {
  return ReadOnly(*this).GetNextDomain(name, key, keyEnd, current);
}

std::string CKdDeploy::GetMulTradeDomain(std::string yybKey, std::string jysKey) {
  return ReadOnly(*this).GetMulTradeDomain(yybKey, jysKey);
}

std::string CKdDeploy::GetTradeDomain(std::string& yybKey, std::string& jysKey) {
  return ReadOnly(*this).GetTradeDomain(yybKey, jysKey);
}

bool CKdDeploy::GetNextQueryDomain(std::string yybKey, std::string jysKey, std::string current,
                                   std::string& result) {
  return ReadOnly(*this).GetNextQueryDomain(yybKey, jysKey, current, result);
}

std::string CKdDeploy::GetHistoryDomain(std::string yybKey, std::string rqKey, std::string rqKeyEnd,
                                        std::string current) {
  return ReadOnly(*this).GetHistoryDomain(yybKey, rqKey, rqKeyEnd, current);
}

// ---- The process-wide resolver ----------------------------------------------
// A pointer the host installs and reads; the library never creates, copies or
// deletes the resolver behind it. It is atomic so that a thread fetching it
// sees a resolver loaded before it was installed.

namespace {
std::atomic<CKdDeploy*> installedResolver{nullptr};
}

void SetKdDeploy(CKdDeploy* pDeploy) {
  installedResolver.store(pDeploy, std::memory_order_release);
}

CKdDeploy* GetKdDeploy() { return installedResolver.load(std::memory_order_acquire); }
