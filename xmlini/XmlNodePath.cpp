// Resolving element paths below the root, creating missing elements on request.
#include "../include/XmlIni.h"
#include "XmlDocument.h"
#include "XmlStoreAccess.h"

using namespace xercesc;
using dezov::NameQuery;

void* CXmlIni::_GetNode(const char* path, int index, bool create) {
  const std::vector<std::string> components = dezov::PathComponents(path);
  if (components.empty()) return nullptr;
  strLastErrMsg.clear();
  if (pXMLDoc == nullptr || pXMLDoc->root() == nullptr) return nullptr;
  // Earlier components take the first match; there is no backtracking.
  std::size_t level = 0;
  DOMNode* parent = pXMLDoc->WalkPathPrefix(components, level);
  if (level + 1 == components.size()) {
    DOMElement* found =
        pXMLDoc->FindChild(parent, NameQuery(components.back(), pXMLDoc->codec()), index);
    if (found != nullptr) return found;
  }
  if (!create || index != 0) return nullptr;
  return pXMLDoc->CreatePath(parent, components, level);
}

bool CXmlIni::HaveNode(const char* path, int index) {
  return _GetNode(path, index, false) != nullptr;
}
