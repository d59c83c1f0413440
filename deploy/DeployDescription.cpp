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

// Reads the domains of deployment out of its section.
void ReadDomains(CXmlIni& store, DescribedDeployment& deployment) {
  CDeployItem& item = deployment.item;
  std::vector<std::string> fields;
  std::vector<std::string> bounds;
  int m = 1;
  for (; m <= kMaxDomains; ++m) {
    std::string value = store.GetValue(item.name.c_str(), NumberedKey(kDomainKeyPrefix, m).c_str(), 0);
    if (value.empty()) break;
    fields.clear();
    SplitString(value.c_str(), ',', fields);
    if (fields.size() < 2) {
      deployment.skipped.push_back({m, std::move(value), SkipReason::kTooFewFields});
      continue;
    }
    if (item.IsRange()) {
      bounds.clear();
      SplitString(fields[1].c_str(), ':', bounds);
      if (bounds.size() < 2) {
        deployment.skipped.push_back({m, std::move(value), SkipReason::kRangeWithoutColon});
        continue;
      }
      item.domainKeys.push_back(std::move(bounds[0]));
      item.domainKeyEnds.push_back(std::move(bounds[1]));
    } else {
      item.domainKeys.push_back(std::move(fields[1]));
    }
    item.domains.push_back(std::move(fields[0]));
    deployment.domainNumbers.push_back(m);
  }
  deployment.domainsEnd = m;
}

}  // namespace

std::string NumberedKey(const char* prefix, int number) {
  return prefix + std::to_string(number);
}

DeployDescription ReadDeployDescription(CXmlIni& store) {
  DeployDescription description;
  std::vector<std::string> fields;
  int n = 1;
  for (; n <= kMaxDeployments; ++n) {
    std::string value = store.GetValue(kDeploySection, NumberedKey(kDeployKeyPrefix, n).c_str(), 0);
    if (value.empty()) break;
    fields.clear();
    SplitString(value.c_str(), ',', fields);
    if (fields.size() < 2) {
      description.skipped.push_back({n, std::move(value), SkipReason::kTooFewFields});
      continue;
    }
    DescribedDeployment deployment;
    deployment.number = n;
    deployment.item.name = std::move(fields[0]);
    deployment.item.kind = ParseKind(fields[1]);
    deployment.kindField = std::move(fields[1]);
    description.deployments.push_back(std::move(deployment));
  }
  description.deploymentsEnd = n;
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
