// SPDX-License-Identifier: MIT
#include "DeployDescription.h"

#include <climits>
#include <utility>

#include "../include/XmlIni.h"
#include "../text/Numbers.h"
#include "../text/TextUtil.h"

namespace dezov {
namespace {

// The kind field read as atol does, held to the range of int so that a huge
// number cannot wrap around to 1 and turn into a range deployment.
int ParseKind(const std::string& field) {
  const long value = ParseLong(field.c_str());
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// Reads section's keys prefix1, prefix2, ... up to limit or the first empty
// value. A value with fewer than two ','-separated fields goes to skipped;
// take(number, value, fields) gets every other. Returns the first number not read.
template <class Take>
int ReadList(CXmlIni& store, const std::string& section, const char* prefix, int limit,
             std::vector<SkippedValue>& skipped, Take take) {
  std::vector<std::string> fields;
  int n = 1;
  for (; n <= limit; ++n) {
    std::string value = store.GetValue(section.c_str(), NumberedKey(prefix, n).c_str(), 0);
    if (value.empty()) break;
    fields.clear();
    SplitString(value.c_str(), ',', fields);
    if (fields.size() < 2)
      skipped.push_back({n, std::move(value), SkipReason::kTooFewFields});
    else
      take(n, value, fields);
  }
  return n;
}

// Reads the domains of deployment out of its section.
void ReadDomains(CXmlIni& store, DescribedDeployment& deployment) {
  CDeployItem& item = deployment.item;
  std::vector<std::string> bounds;
  const auto take = [&](int m, const std::string& value, std::vector<std::string>& fields) {
    if (item.IsRange()) {
      bounds.clear();
      SplitString(fields[1].c_str(), ':', bounds);
      if (bounds.size() < 2) {
        deployment.skipped.push_back({m, value, SkipReason::kRangeWithoutColon});
        return;
      }
      item.domainKeys.push_back(std::move(bounds[0]));
      item.domainKeyEnds.push_back(std::move(bounds[1]));
    } else {
      item.domainKeys.push_back(std::move(fields[1]));
    }
    item.domains.push_back(std::move(fields[0]));
    deployment.domainNumbers.push_back(m);
  };
  deployment.domainsEnd =
      ReadList(store, item.name, kDomainKeyPrefix, kMaxDomains, deployment.skipped, take);
}

}  // namespace

std::string NumberedKey(const char* prefix, int number) {
  return prefix + std::to_string(number);
}

DeployDescription ReadDeployDescription(CXmlIni& store) {
  DeployDescription description;
  const auto take = [&](int n, const std::string&, std::vector<std::string>& fields) {
    DescribedDeployment deployment;
    deployment.number = n;
    deployment.item.name = std::move(fields[0]);
    deployment.item.kind = ParseKind(fields[1]);
    deployment.kindField = std::move(fields[1]);
    description.deployments.push_back(std::move(deployment));
  };
  description.deploymentsEnd = ReadList(store, kDeploySection, kDeployKeyPrefix, kMaxDeployments,
                                        description.skipped, take);
  for (DescribedDeployment& deployment : description.deployments) ReadDomains(store, deployment);
  return description;
}

int SchemeOf(const DeployDescription& description) {
  bool branch = false;
  bool exchange = false;
  for (const DescribedDeployment& deployment : description.deployments) {
    branch = branch || deployment.item.name == kBranchDeployment;
    exchange = exchange || deployment.item.name == kExchangeDeployment;
  }
  if (branch) return exchange ? 3 : 1;
  return exchange ? 2 : 0;
}

}  // namespace dezov
