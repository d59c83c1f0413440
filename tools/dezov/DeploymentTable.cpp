#include "DeploymentTable.h"

#include <cstdlib>

#include "TextTable.h"
#include "XmlIni.h"

namespace dezov {
namespace tool {
namespace {

constexpr int kMaxDeployments = 99;
constexpr int kMaxDomains = 299;

// Pieces between delimiters; a delimiter at the very end opens no piece.
std::vector<std::string> Split(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == delimiter) {
      pieces.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  if (text.size() > start) pieces.push_back(text.substr(start));
  return pieces;
}

void ReadDomains(CXmlIni& store, DescribedDeployment& deployment) {
  for (int number = 1; number <= kMaxDomains; ++number) {
    const std::string key = "DOMAIN" + std::to_string(number);
    const std::string value = store.GetValue(deployment.name.c_str(), key.c_str());
    if (value.empty()) return;
    const std::vector<std::string> fields = Split(value, ',');
    if (fields.size() < 2) continue;
    DescribedDomain domain{fields[0], fields[1], ""};
    if (deployment.kind == 1) {
      const std::vector<std::string> bounds = Split(fields[1], ':');
      if (bounds.size() < 2) continue;
      domain.key = bounds[0];
      domain.keyEnd = bounds[1];
    }
    deployment.domains.push_back(domain);
  }
}

}  // namespace

std::vector<DescribedDeployment> DescribeDeployments(CXmlIni& store) {
  std::vector<DescribedDeployment> deployments;
  for (int number = 1; number <= kMaxDeployments; ++number) {
    const std::string key = "DEPLOY" + std::to_string(number);
    const std::string value = store.GetValue("DEPLOY", key.c_str());
    if (value.empty()) break;
    const std::vector<std::string> fields = Split(value, ',');
    if (fields.size() < 2) continue;
    DescribedDeployment deployment;
    deployment.name = fields[0];
    deployment.kind = std::strtol(fields[1].c_str(), nullptr, 10);
    deployments.push_back(deployment);
  }
  for (auto& deployment : deployments) ReadDomains(store, deployment);
  return deployments;
}

std::vector<std::string> DeploymentTableLines(const std::vector<DescribedDeployment>& deployments) {
  TextTable table({"NAME", "KIND", "DOMAIN", "SERVES"});
  for (const auto& deployment : deployments) {
    const bool range = deployment.kind == 1;
    const std::string kind = std::to_string(deployment.kind) + (range ? " range" : " text");
    if (deployment.domains.empty()) table.AddRow({deployment.name, kind, "(no domains)"});
    for (const auto& domain : deployment.domains)
      table.AddRow({deployment.name, kind, domain.domain,
                    range ? domain.key + ".." + domain.keyEnd : domain.key});
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
