// SPDX-License-Identifier: MIT
// The deployment description inside an XML store, read by the one set of rules
// that the resolver, the tool's listing and the checker share.
//
// Section "DEPLOY" holds DEPLOY1..DEPLOY99, each "name,kind[,...]"; the section
// named by each deployment holds DOMAIN1..DOMAIN299, each "domain,match[,...]"
// or, for kind 1, "domain,lower:upper[:...][,...]". The first empty (or
// missing) value ends a list; a value with too few fields, or a range without
// ':', is skipped; a kind reads as atol does.
#ifndef DEZOV20_DEPLOY_DEPLOY_DESCRIPTION_H
#define DEZOV20_DEPLOY_DEPLOY_DESCRIPTION_H

#include <string>
#include <vector>

#include "DeployItem.h"

class CXmlIni;

namespace dezov {

constexpr char kDeploySection[] = "DEPLOY";
constexpr char kDeployKeyPrefix[] = "DEPLOY";
constexpr char kDomainKeyPrefix[] = "DOMAIN";
constexpr int kMaxDeployments = 99;  // DEPLOY100 is never read
constexpr int kMaxDomains = 299;     // DOMAIN300 is never read

// Deployment names the trade and history lookups combine.
constexpr char kBranchDeployment[] = "YYB";
constexpr char kExchangeDeployment[] = "JYS";
constexpr char kDateDeployment[] = "RQ";

// The key of entry number in a list: NumberedKey("DOMAIN", 3) is "DOMAIN3".
std::string NumberedKey(const char* prefix, int number);

// Why a value that was read is not loaded.
enum class SkipReason { kTooFewFields, kRangeWithoutColon };

// A non-empty value that was read and skipped.
struct SkippedValue {
  int number;         // of its DEPLOYn or DOMAINn key
  std::string value;  // as stored
  SkipReason reason;
};

// One deployment as loaded, and where its parts came from.
struct DescribedDeployment {
  CDeployItem item;                     // what the resolver holds
  int number = 0;                       // of its DEPLOYn key
  std::string kindField;                // the kind as written
  std::vector<int> domainNumbers;       // of the DOMAINn key of each loaded domain
  std::vector<SkippedValue> skipped;    // DOMAIN values skipped
  int domainsEnd = 1;                   // first DOMAIN number not read
};

// The whole description, in DEPLOY key order.
struct DeployDescription {
  std::vector<DescribedDeployment> deployments;
  std::vector<SkippedValue> skipped;  // DEPLOY values skipped
  int deploymentsEnd = 1;             // first DEPLOY number not read
};

// Reads the description out of store (values with element index 0).
DeployDescription ReadDeployDescription(CXmlIni& store);

// The scheme the loaded names select: 3 with "YYB" and "JYS", 1 with "YYB"
// only, 2 with "JYS" only, 0 with neither (the resolver then keeps its own).
int SchemeOf(const DeployDescription& description);

}  // namespace dezov

#endif  // DEZOV20_DEPLOY_DEPLOY_DESCRIPTION_H
