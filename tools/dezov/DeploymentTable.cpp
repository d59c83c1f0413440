#include "DeploymentTable.h"

#include "TextTable.h"

namespace dezov {
namespace tool {

std::vector<std::string> DeploymentTableLines(const DeployDescription& description) {
  TextTable table({"NAME", "KIND", "DOMAIN", "SERVES"});
  for (const DescribedDeployment& deployment : description.deployments) {
    const CDeployItem& item = deployment.item;
    const std::string kind = std::to_string(item.kind) + (item.IsRange() ? " range" : " text");
    if (item.domains.empty()) table.AddRow({item.name, kind, "(no domains)"});
    for (std::size_t i = 0; i < item.domains.size(); ++i)
      table.AddRow({item.name, kind, item.domains[i],
                    item.IsRange() ? item.domainKeys[i] + ".." + item.domainKeyEnds[i]
                                   : item.domainKeys[i]});
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
