// SPDX-License-Identifier: MIT
#include "../include/ConfigCheck.h"

#include <string>

#include "../include/DeployCheck.h"
#include "../include/XmlIni.h"
#include "../text/TextUtil.h"

namespace dezov {
namespace {

// Why bytes cannot replace the XML configuration file fileName, or "": no
// configuration store, or a deployment description with errors (each one line
// as FormatFinding writes it, lines counted in the new content).
std::string XmlRefusal(const std::string& bytes, const std::string& fileName) {
  CXmlIni store;
  if (!store.OpenBuffer(bytes.data(), bytes.size()))
    return fileName + ": the new content is no XML configuration file (root element vornini): " +
           store.GetLastErrMsg();
  if (!store.HaveNode("DEPLOY")) return std::string();
  std::string errors;
  int count = 0;
  for (const DeployFinding& finding : CheckDeployment(store)) {
    if (finding.severity != DeployFinding::kError) continue;
    errors += "\n" + FormatFinding(fileName, finding);
    ++count;
  }
  if (count == 0) return std::string();
  return fileName + ": the new deployment description has " + std::to_string(count) +
         (count == 1 ? " error:" : " errors:") + errors;
}

}  // namespace

ConfigKind ConfigKindOf(const std::string& fileName) {
  const std::size_t size = fileName.size();
  return size >= 4 && NamesEqual(fileName.substr(size - 4), ".xml") ? ConfigKind::kXml
                                                                      : ConfigKind::kIni;
}

bool CheckConfigBytes(ConfigKind kind, const std::string& bytes, const std::string& fileName,
                      std::string& reason) {
  reason.clear();
  // Empty content is what a sync job sends for a deleted key: never a configuration.
  if (bytes.empty())
    reason = fileName + ": the new content is empty";
  else if (kind == ConfigKind::kIni && bytes.find('\0') != std::string::npos)
    reason = fileName + ": the new content holds NUL bytes, so it is no INI file";
  else if (kind == ConfigKind::kXml)
    reason = XmlRefusal(bytes, fileName);
  return reason.empty();
}

}  // namespace dezov
