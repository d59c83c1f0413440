// SPDX-License-Identifier: MIT
#include "DeploymentTable.h"

#include "KdDeploy.h"
#include "TextTable.h"

namespace dezov {
namespace tool {

std::vector<std::string> DeploymentTableLines(const CKdDeploy& resolver) {
  TextTable table({"NAME", "KIND", "DOMAIN", "SERVES"});
  CKdDeploy::Deployment deployment;
  for (int i = 0; resolver.GetDeployment(i, deployment); ++i) {
    const std::string kind =
        std::to_string(deployment.kind) + (deployment.range ? " range" : " text");
    if (deployment.domains.empty()) table.AddRow({deployment.name, kind, "(no domains)"});
    for (std::size_t d = 0; d < deployment.domains.size(); ++d)
      table.AddRow({deployment.name, kind, deployment.domains[d],
                    deployment.range ? deployment.keys[d] + ".." + deployment.keyEnds[d]
                                     : deployment.keys[d]});
  }
  return table.Lines();
}

std::string SchemeText(int scheme) {
  switch (scheme) {
    case 1:
      return "scheme 1: trade domains are the names in the YYB domain";
    case 2:
      return "scheme 2: the trade domain is the JYS domain";
    case 3:
      return "scheme 3: trade domains are the YYB domain's names that contain the JYS domain";
    default:
      return "scheme " + std::to_string(scheme) + ": no YYB or JYS deployment, no trade domains";
  }
}

}  // namespace tool
}  // namespace dezov
