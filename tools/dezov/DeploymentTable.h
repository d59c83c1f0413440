// SPDX-License-Identifier: MIT
// The deployments a resolver loaded, as a table.
#ifndef DEZOV_TOOL_DEPLOYMENT_TABLE_H
#define DEZOV_TOOL_DEPLOYMENT_TABLE_H

#include <string>
#include <vector>

class CKdDeploy;

namespace dezov {
namespace tool {

// One row per loaded domain (a deployment without domains gets one row of its
// own): name, kind, domain string, and the match text or the range "lower..upper".
std::vector<std::string> DeploymentTableLines(const CKdDeploy& resolver);

// What the resolver's scheme number means for trade lookups.
std::string SchemeText(int scheme);

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_DEPLOYMENT_TABLE_H
