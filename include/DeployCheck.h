// SPDX-License-Identifier: MIT
// dezov::CheckDeployment: what the resolver would skip, misread, or answer in
// a way the author may not expect, in a deployment description.
//
// The resolver loads forgivingly: the first missing DEPLOYn or DOMAINn ends its
// list, malformed values are skipped, a kind that is not a number reads as 0,
// and lookups take the first hit. None of that is reported by the resolver;
// the check reads the description with the same rules and says what it found.
#ifndef DEZOV20_DEPLOY_CHECK_H
#define DEZOV20_DEPLOY_CHECK_H

#include <string>
#include <vector>

#include "DeZov20Export.h"

class CXmlIni;

namespace dezov {

// One thing found in a deployment description.
struct DeployFinding {
  enum Severity { kWarning, kError };
  // kError: data the resolver never uses or misreads; kWarning: legal, but a
  // lookup takes a first hit the author may not expect.
  Severity severity = kError;
  // The section and key concerned ("YYB\DOMAIN3"), or the section alone; GBK.
  std::string path;
  // What was found and what the resolver does with it; names and values GBK.
  std::string message;
  // The line of the key's element in the store's file; 0 when unknown.
  int line = 0;
};

// Every finding in the description held by store, in the order of the lines
// concerned; empty when the resolver loads exactly what the description says
// and no lookup takes a first hit over a later one.
DEZOV20_API std::vector<DeployFinding> CheckDeployment(CXmlIni& store);

// The finding as one line in the form compilers use, for file (the file's name
// as it should be shown): "file:line: error: path: message"; without ":line"
// when the line is unknown. No line feed.
DEZOV20_API std::string FormatFinding(const std::string& file, const DeployFinding& finding);

}  // namespace dezov

#endif  // DEZOV20_DEPLOY_CHECK_H
