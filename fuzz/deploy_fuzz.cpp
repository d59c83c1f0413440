// SPDX-License-Identifier: MIT
// Deployment descriptions built from the input, checked, loaded and asked with
// every lookup: nothing may crash or hang. Input lines: the DEPLOY values first, an
// empty line, then "section|key|value" lines for the domains, an empty line,
// then the keys the lookups use.
#include <xercesc/dom/DOMException.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "DeployCheck.h"
#include "FuzzFiles.h"
#include "KdDeploy.h"
#include "XmlIni.h"

namespace {

std::vector<std::string> Lines(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n')
      lines.emplace_back();
    else
      lines.back().push_back(static_cast<char>(data[i]));
  }
  return lines;
}

std::string Field(const std::string& line, int index) {
  std::size_t start = 0;
  for (int i = 0; i < index; ++i) {
    start = line.find('|', start);
    if (start == std::string::npos) return "";
    ++start;
  }
  return line.substr(start, line.find('|', start) - start);
}

void AskEverything(CKdDeploy& deploy, const std::vector<std::string>& keys) {
  auto key = [&](std::size_t i) { return keys.empty() ? std::string() : keys[i % keys.size()]; };
  for (std::size_t i = 0; i < 4; ++i) {
    for (const char* name : {"YYB", "JYS", "RQ"}) {
      deploy.GetDomainStr(name, key(i), key(i + 1));
      deploy.GetDomain(name, key(i), key(i + 1));
      deploy.GetNextDomainStr(name, key(i), key(i + 1), key(i + 2));
      deploy.GetNextDomain(name, key(i), key(i + 1), key(i + 2));
    }
    deploy.GetMulTradeDomain(key(i), key(i + 1));
    std::string yyb = key(i), jys = key(i + 1), result;
    deploy.GetTradeDomain(yyb, jys);
    deploy.GetNextQueryDomain(key(i), key(i + 1), key(i + 2), result);
    deploy.GetHistoryDomain(key(i), key(i + 1), key(i + 2), key(i + 3));
    deploy.GetHistoryDomain(key(i), key(i + 1), key(i + 2), "");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static CXmlIni keepLibraryStarted;
  static const std::string path = fuzzing::ScratchPath("deploy");
  static const char kEmpty[] = "<?xml version=\"1.0\" encoding=\"gb2312\"?><vornini/>";
  fuzzing::WriteScratch(path, reinterpret_cast<const std::uint8_t*>(kEmpty), sizeof kEmpty - 1);

  const std::vector<std::string> lines = Lines(data, size);
  CXmlIni store;
  if (!store.Open(path.c_str())) fuzzing::Fail("empty description does not open");
  std::size_t i = 0;
  try {
    for (int n = 1; i < lines.size() && !lines[i].empty() && n < 100; ++i, ++n)
      store.SetValue("DEPLOY", ("DEPLOY" + std::to_string(n)).c_str(), lines[i].c_str());
    for (++i; i < lines.size() && !lines[i].empty(); ++i)
      store.SetValue(Field(lines[i], 0).c_str(), Field(lines[i], 1).c_str(),
                     Field(lines[i], 2).c_str());
  } catch (const xercesc::DOMException&) {
    // Section names the DOM refuses raise its exception by contract.
  }
  std::vector<std::string> keys(lines.begin() + static_cast<long>(std::min(i + 1, lines.size())),
                                lines.end());
  for (const dezov::DeployFinding& finding : dezov::CheckDeployment(store))
    if (finding.path.empty() || finding.message.empty())
      fuzzing::Fail("a finding without its place");
  CKdDeploy deploy;
  deploy.InitDeloy(&store);
  AskEverything(deploy, keys);
  CKdDeploy copy(deploy);
  deploy.Free();
  AskEverything(copy, keys);
  return 0;
}
