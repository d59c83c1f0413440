// SPDX-License-Identifier: MIT
#include "../include/DeployCheck.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "../include/XmlIni.h"
#include "../text/TextUtil.h"
#include "../xmlini/XmlDocument.h"
#include "DeployDescription.h"
#include "DeployItem.h"

namespace dezov {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The number of a key named prefix and digits (the prefix matched as the store
// matches names); 0 for spellings the resolver never asks for (a leading zero,
// number 0); false for every other name.
bool NumberOfKey(const std::string& key, const char* prefix, long& number) {
  const std::size_t head = std::strlen(prefix);
  if (key.size() <= head || key.size() > head + 9 || !NamesEqual(key.substr(0, head), prefix))
    return false;
  number = 0;
  for (std::size_t i = head; i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return false;
    number = number * 10 + (key[i] - '0');
  }
  if (key[head] == '0') number = 0;
  return true;
}

// A kind field that reads as a whole number: optional white space and sign,
// then digits only.
bool IsNumber(const std::string& field) {
  std::size_t i = 0;
  while (i < field.size() && std::isspace(static_cast<unsigned char>(field[i]))) ++i;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) ++i;
  if (i == field.size()) return false;
  for (; i < field.size(); ++i)
    if (field[i] < '0' || field[i] > '9') return false;
  return true;
}

std::vector<std::string> Split(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  SplitString(text.c_str(), delimiter, pieces);
  return pieces;
}

class Checker {
 public:
  explicit Checker(CXmlIni& store) : store_(store), description_(ReadDeployDescription(store)) {}

  std::vector<DeployFinding> Run() {
    CheckDeployKeys();
    for (const DescribedDeployment& deployment : description_.deployments) {
      const DescribedDeployment* first = Find(deployment.item.name);
      if (first != &deployment) {
        Warn(DeployPath(deployment), "deployment " + Quoted(deployment.item.name) +
                                         " is named again (first by " + DeployKey(*first) +
                                         "): lookups find the first");
        continue;
      }
      CheckDeployment(deployment);
    }
    CheckCombinations();
    // In file order, as a compiler reports; the order found keeps ties.
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const DeployFinding& a, const DeployFinding& b) { return a.line < b.line; });
    return std::move(findings_);
  }

 private:
  void Add(DeployFinding::Severity severity, const std::string& path, const std::string& message) {
    DeployFinding finding;
    finding.severity = severity;
    finding.path = path;
    finding.message = message;
    finding.line = XmlElementLines::LineOf(store_, path.c_str());
    findings_.push_back(std::move(finding));
  }
  void Error(const std::string& path, const std::string& message) {
    Add(DeployFinding::kError, path, message);
  }
  void Warn(const std::string& path, const std::string& message) {
    Add(DeployFinding::kWarning, path, message);
  }

  static std::string DeployKey(const DescribedDeployment& deployment) {
    return NumberedKey(kDeployKeyPrefix, deployment.number);
  }
  static std::string DeployPath(const DescribedDeployment& deployment) {
    return std::string(kDeploySection) + "\\" + DeployKey(deployment);
  }
  static std::string DomainPath(const DescribedDeployment& deployment, int number) {
    return deployment.item.name + "\\" + NumberedKey(kDomainKeyPrefix, number);
  }

  // Keys of section numbered with prefix that the resolver never reads: past
  // the last number it reads, behind the gap where its reading stopped, or
  // spelled so that it never asks for them.
  void CheckUnreadKeys(const std::string& section, const char* prefix, int limit, int end) {
    std::vector<std::string> keys;
    store_.GetKeysInSection(section.c_str(), keys);
    for (const std::string& key : keys) {
      long number = 0;
      if (!NumberOfKey(key, prefix, number) || (number >= 1 && number < end)) continue;
      const std::string path = section + "\\" + key;
      if (store_.GetValue(section.c_str(), key.c_str(), 0).empty()) continue;
      const std::string gap = NumberedKey(prefix, end);
      if (number == 0)
        Error(path, "never read: the resolver asks for " + std::string(prefix) + "1 to " + prefix +
                        std::to_string(limit) + " without leading zeros");
      else if (number > limit)
        Error(path, "never read: " + std::string(prefix) + std::to_string(limit) +
                        " is the last key the resolver reads");
      else if (number > end)
        Error(path, "never read: " + gap + " is missing or empty, and the resolver stops there");
    }
  }

  void CheckDeployKeys() {
    for (const SkippedValue& skipped : description_.skipped)
      Error(std::string(kDeploySection) + "\\" + NumberedKey(kDeployKeyPrefix, skipped.number),
            Quoted(skipped.value) + " has no kind (a deployment is name,kind): skipped");
    CheckUnreadKeys(kDeploySection, kDeployKeyPrefix, kMaxDeployments, description_.deploymentsEnd);
    if (description_.deployments.empty()) {
      Error(kDeploySection, store_.HaveNode(kDeploySection)
                                ? "no deployment: the resolver loads nothing"
                                : "no section DEPLOY: the resolver loads nothing");
    }
    for (const DescribedDeployment& deployment : description_.deployments) {
      if (IsNumber(deployment.kindField)) continue;
      Error(DeployPath(deployment), "kind " + Quoted(deployment.kindField) +
                                        " is not a number: it reads as " +
                                        std::to_string(deployment.item.kind) +
                                        (deployment.item.IsRange() ? ", a range deployment"
                                                                   : ", a text deployment"));
    }
  }

  void CheckDeployment(const DescribedDeployment& deployment) {
    const CDeployItem& item = deployment.item;
    if (!store_.HaveNode(item.name.c_str())) {
      Error(DeployPath(deployment),
            "no section " + Quoted(item.name) + ": the deployment has no domains");
      return;
    }
    for (const SkippedValue& skipped : deployment.skipped) {
      const std::string path = DomainPath(deployment, skipped.number);
      if (skipped.reason == SkipReason::kTooFewFields)
        Error(path, Quoted(skipped.value) + (item.IsRange()
                                                 ? " has no range (a domain is domain,lower:upper)"
                                                 : " has no match text (a domain is domain,match)") +
                        ": skipped");
      else
        Error(path, "range in " + Quoted(skipped.value) +
                        " has no ':' between its bounds (lower:upper): skipped");
    }
    CheckUnreadKeys(item.name, kDomainKeyPrefix, kMaxDomains, deployment.domainsEnd);
    for (std::size_t i = 0; i < item.domains.size(); ++i) {
      const std::string path = DomainPath(deployment, deployment.domainNumbers[i]);
      if (item.domains[i].empty()) Warn(path, "empty domain string");
      if (!item.IsRange() && item.domainKeys[i].empty())
        Warn(path, "empty match text: no key finds this domain");
    }
    if (item.IsRange())
      CheckRanges(deployment);
    else
      CheckMatchKeys(deployment);
  }

  // A key listed in a match text (';' separates keys there) that an earlier
  // domain's match text also contains: the lookup finds the earlier one.
  void CheckMatchKeys(const DescribedDeployment& deployment) {
    const CDeployItem& item = deployment.item;
    for (std::size_t j = 1; j < item.domains.size(); ++j) {
      for (const std::string& key : Split(item.domainKeys[j], ';')) {
        if (key.empty()) continue;
        for (std::size_t i = 0; i < j; ++i) {
          if (!DomainMatches(item, i, key, "")) continue;
          Warn(DomainPath(deployment, deployment.domainNumbers[j]),
               "key " + Quoted(key) + " is also served by " +
                   NumberedKey(kDomainKeyPrefix, deployment.domainNumbers[i]) + " (" +
                   Quoted(item.domainKeys[i]) + "), which lookups find first");
          break;
        }
      }
    }
  }

  void CheckRanges(const DescribedDeployment& deployment) {
    const CDeployItem& item = deployment.item;
    const auto inverted = [&](std::size_t i) {
      return item.domainKeys[i].compare(item.domainKeyEnds[i]) > 0;
    };
    const auto range = [&](std::size_t i) {
      return item.domainKeys[i] + ":" + item.domainKeyEnds[i];
    };
    std::size_t width = 0;  // of the first non-empty bound
    for (std::size_t j = 0; j < item.domains.size(); ++j) {
      const std::string path = DomainPath(deployment, deployment.domainNumbers[j]);
      if (inverted(j))
        Warn(path, "range " + range(j) + ": the lower bound is above the upper (bounds compare as text)");
      for (const std::string* bound : {&item.domainKeys[j], &item.domainKeyEnds[j]}) {
        if (bound->empty()) continue;
        if (width == 0) width = bound->size();
        if (bound->size() == width) continue;
        Warn(path, "bound " + Quoted(*bound) + " has " + std::to_string(bound->size()) +
                       " characters where others have " + std::to_string(width) +
                       ": bounds compare as text, so \"9\" is above \"10\"");
        break;
      }
      if (inverted(j)) continue;
      for (std::size_t i = 0; i < j; ++i) {
        if (inverted(i) || !DomainMatches(item, i, item.domainKeys[j], item.domainKeyEnds[j]))
          continue;
        Warn(path, "range " + range(j) + " overlaps " +
                       NumberedKey(kDomainKeyPrefix, deployment.domainNumbers[i]) + " (" +
                       range(i) + "), which lookups find first");
        break;
      }
    }
  }

  // The first deployment named name: the one lookups use.
  const DescribedDeployment* Find(const std::string& name) const {
    for (const DescribedDeployment& deployment : description_.deployments)
      if (deployment.item.name == name) return &deployment;
    return nullptr;
  }

  // The YYB domain strings list names; trade lookups keep the names that
  // contain the JYS domain string (scheme 3), history lookups the first that
  // contains the RQ domain string.
  void CheckCombinations() {
    const DescribedDeployment* branch = Find(kBranchDeployment);
    if (branch == nullptr) return;
    const DescribedDeployment* exchange = Find(kExchangeDeployment);
    const DescribedDeployment* date = Find(kDateDeployment);
    const CDeployItem& yyb = branch->item;
    for (std::size_t j = 0; j < yyb.domains.size(); ++j) {
      if (yyb.domains[j].empty()) continue;  // warned about already
      const std::string path = DomainPath(*branch, branch->domainNumbers[j]);
      if (exchange != nullptr) {
        const CDeployItem& jys = exchange->item;
        for (std::size_t k = 0; k < jys.domains.size(); ++k) {
          if (!FilterDomains(yyb.domains[j], jys.domains[k]).empty()) continue;
          Warn(path, "no name in " + Quoted(yyb.domains[j]) + " contains the JYS domain " +
                         Quoted(jys.domains[k]) + " (" +
                         DomainPath(*exchange, exchange->domainNumbers[k]) +
                         "): no trade domain for that exchange");
        }
      }
      if (date != nullptr && !date->item.domains.empty()) {
        bool named = false;
        for (const std::string& rq : date->item.domains)
          named = named || (!rq.empty() && !FilterDomains(yyb.domains[j], rq).empty());
        if (!named)
          Warn(path, "no name in " + Quoted(yyb.domains[j]) +
                         " contains an RQ domain: history lookups for its keys find nothing");
      }
    }
  }

  CXmlIni& store_;
  const DeployDescription description_;
  std::vector<DeployFinding> findings_;
};

}  // namespace

std::vector<DeployFinding> CheckDeployment(CXmlIni& store) { return Checker(store).Run(); }

std::string FormatFinding(const std::string& file, const DeployFinding& finding) {
  std::string line = file;
  if (finding.line > 0) line += ":" + std::to_string(finding.line);
  line += finding.severity == DeployFinding::kError ? ": error: " : ": warning: ";
  return line + finding.path + ": " + finding.message;
}

}  // namespace dezov
