// Loading a deployment description out of an XML store: the section "DEPLOY"
// with DEPLOY1..DEPLOY99 ("name,kind") and, per deployment, DOMAIN1..DOMAIN299
// ("domain,match" or, for a range deployment, "domain,lower:upper"). Numbering
// is contiguous: the first empty value ends a list; malformed values are
// skipped.
#include <climits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../include/KdDeploy.h"
#include "../include/XmlIni.h"
#include "../text/Numbers.h"
#include "../text/TextUtil.h"
#include "DeployItem.h"

namespace {

constexpr int kMaxDeployments = 99;
constexpr int kMaxDomains = 299;

// The kind field read as atol does, held to the range of int so that a huge
// number cannot wrap around to 1 and turn into a range deployment.
int ParseKind(const std::string& field) {
  const long value = dezov::ParseLong(field.c_str());
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::string NumberedKey(const char* prefix, int number) { return prefix + std::to_string(number); }

// Reads the domains of item from its section; stops at the first empty value.
void LoadDomains(CXmlIni& store, CDeployItem& item) {
  std::vector<std::string> fields;
  std::vector<std::string> bounds;
  for (int m = 1; m <= kMaxDomains; ++m) {
    const std::string value =
        store.GetValue(item.name.c_str(), NumberedKey("DOMAIN", m).c_str(), 0);
    if (value.empty()) return;
    fields.clear();
    dezov::SplitString(value.c_str(), ',', fields);
    if (fields.size() < 2) continue;
    if (item.IsRange()) {
      bounds.clear();
      dezov::SplitString(fields[1].c_str(), ':', bounds);
      if (bounds.size() < 2) continue;
      item.domainKeys.push_back(std::move(bounds[0]));
      item.domainKeyEnds.push_back(std::move(bounds[1]));
    } else {
      item.domainKeys.push_back(std::move(fields[1]));
    }
    item.domains.push_back(std::move(fields[0]));
  }
}

}  // namespace

void CKdDeploy::InitDeloy(CXmlIni* pIni) {
  if (pIni == nullptr) return;
  Free();
  // Built aside and swapped in, so a failing allocation leaves no half table.
  std::vector<std::unique_ptr<CDeployItem>> loaded;
  bool haveBranch = false;
  bool haveExchange = false;
  std::vector<std::string> fields;
  for (int n = 1; n <= kMaxDeployments; ++n) {
    const std::string value = pIni->GetValue("DEPLOY", NumberedKey("DEPLOY", n).c_str(), 0);
    if (value.empty()) break;
    fields.clear();
    dezov::SplitString(value.c_str(), ',', fields);
    if (fields.size() < 2) continue;
    auto item = std::make_unique<CDeployItem>();
    item->name = std::move(fields[0]);
    item->kind = ParseKind(fields[1]);
    haveBranch = haveBranch || item->name == dezov::kBranchDeployment;
    haveExchange = haveExchange || item->name == dezov::kExchangeDeployment;
    loaded.push_back(std::move(item));
  }
  if (loaded.empty()) return;
  if (haveBranch || haveExchange) scheme = haveBranch ? (haveExchange ? 3 : 1) : 2;
  for (auto& item : loaded) LoadDomains(*pIni, *item);
  deployments.swap(loaded);
}
