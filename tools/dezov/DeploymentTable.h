// The deployment description of an XML store, read the way the resolver
// loads it, and its display as a table.
#ifndef DEZOV_TOOL_DEPLOYMENT_TABLE_H
#define DEZOV_TOOL_DEPLOYMENT_TABLE_H

#include <string>
#include <vector>

class CXmlIni;

namespace dezov {
namespace tool {

// One domain: for a text deployment the match text is in key; for a range
// deployment key and keyEnd are the bounds.
struct DescribedDomain {
  std::string domain;
  std::string key;
  std::string keyEnd;
};

// One deployment with its domains, in key order (GBK texts).
struct DescribedDeployment {
  std::string name;
  long kind = 0;  // 1: range deployment; anything else: text deployment
  std::vector<DescribedDomain> domains;
};

// DEPLOY1.. and each deployment's DOMAIN1.. up to the first empty value,
// skipping malformed values, as the resolver does when it loads the store.
std::vector<DescribedDeployment> DescribeDeployments(CXmlIni& store);

// One row per domain (a deployment without domains gets one row of its own):
// name, kind, domain string, and the match text or the range "lower..upper".
std::vector<std::string> DeploymentTableLines(const std::vector<DescribedDeployment>& deployments);

// What the resolver's scheme number means for trade lookups.
std::string SchemeText(int scheme);

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_DEPLOYMENT_TABLE_H
