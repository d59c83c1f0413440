// Resolving element paths below the root, creating missing elements on request.
#include "../include/XmlIni.h"
#include "XmlDocument.h"
#include "XmlStoreAccess.h"

using namespace xercesc;
using dezov::NameQuery;

dezov::XmlDocument* CXmlIni::DocumentForPath(const char* path,
                                             std::vector<std::string>& components) {
  components = dezov::PathComponents(path);
  if (components.empty()) return nullptr;
  strLastErrMsg.clear();
  if (pXMLDoc == nullptr || pXMLDoc->root() == nullptr) return nullptr;
  return pXMLDoc.get();
}

namespace dezov {

DOMElement* ResolvePath(XmlDocument& document, const std::vector<std::string>& components,
                        int index, bool create) {
  // Earlier components take the first match; there is no backtracking.
  std::size_t level = 0;
  DOMNode* parent = document.WalkPathPrefix(components, level);
  if (level + 1 == components.size()) {
    DOMElement* found =
        document.FindChild(parent, NameQuery(components.back(), document.codec()), index);
    if (found != nullptr) return found;
  }
  if (!create || index != 0) return nullptr;
  return document.CreatePath(parent, components, level);
}

}  // namespace dezov

void* CXmlIni::FindElement(const char* path, int index, bool create) {
  std::vector<std::string> components;
  dezov::XmlDocument* document = DocumentForPath(path, components);
  return document ? dezov::ResolvePath(*document, components, index, create) : nullptr;
}

bool CXmlIni::HaveNode(const char* path, int index) {
  return FindElement(path, index, false) != nullptr;
}

bool CXmlIni::HaveKey(const char* section, const char* key, int index) {
  if (dezov::OrEmpty(key)[0] == '\0') {  // would name the section itself
    strLastErrMsg.clear();
    return false;
  }
  return FindElement(dezov::KeyPath(section, key).c_str(), index, false) != nullptr;
}
