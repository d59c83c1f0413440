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
  dezov::GbkCodec& codec = pXMLDoc->codec();

  // Earlier components take the first match; there is no backtracking.
  DOMNode* parent = pXMLDoc->root();
  std::size_t level = 0;
  for (; level + 1 < components.size(); ++level) {
    DOMElement* next = pXMLDoc->FindChild(parent, NameQuery(components[level], codec), 0);
    if (next == nullptr) break;
    parent = next;
  }
  if (level + 1 == components.size()) {
    DOMElement* found = pXMLDoc->FindChild(parent, NameQuery(components.back(), codec), index);
    if (found != nullptr) return found;
  }
  if (!create || index != 0) return nullptr;

  // Create what is missing, unless it would be too deep or a name is not
  // exact GBK (it could never be found again by that name).
  const std::size_t missing = components.size() - level;
  if (dezov::XmlDocument::DepthOf(parent) + static_cast<int>(missing) > dezov::kMaxElementDepth)
    return nullptr;
  dezov::Utf16 unused;
  for (std::size_t i = level; i < components.size(); ++i)
    if (!codec.DecodeExact(components[i], unused)) return nullptr;
  for (; level < components.size(); ++level)
    parent = pXMLDoc->AppendElement(parent, components[level]);
  return parent;
}

bool CXmlIni::HaveNode(const char* path, int index) {
  return _GetNode(path, index, false) != nullptr;
}
