// Listing sections and keys, and removing them. Each level of a section path
// takes the first matching element; removal takes every element matching the
// last component.
#include "../include/XmlIni.h"
#include "XmlDocument.h"
#include "XmlStoreAccess.h"

using namespace xercesc;
using dezov::NameQuery;

namespace {

// Appends the GBK name of every element child of parent.
void AppendElementNames(const DOMNode* parent, dezov::GbkCodec& codec,
                        std::vector<std::string>& names) {
  for (const DOMNode* child = parent->getFirstChild(); child; child = child->getNextSibling())
    if (child->getNodeType() == DOMNode::ELEMENT_NODE)
      names.push_back(codec.Encode(child->getNodeName()));
}

// The element reached by taking the first match of each of the first `levels`
// components below the root, or null.
DOMNode* FollowFirstMatches(dezov::XmlDocument& document,
                            const std::vector<std::string>& components, std::size_t levels) {
  DOMNode* node = document.root();
  for (std::size_t i = 0; i < levels && node != nullptr; ++i)
    node = document.FindChild(node, NameQuery(components[i], document.codec()), 0);
  return node;
}

}  // namespace

bool CXmlIni::GetSections(std::vector<std::string>& sections) {
  strLastErrMsg.clear();
  if (pXMLDoc == nullptr || pXMLDoc->root() == nullptr) return false;
  AppendElementNames(pXMLDoc->root(), pXMLDoc->codec(), sections);
  return true;
}

bool CXmlIni::GetKeysInSection(const char* section, std::vector<std::string>& keys) {
  std::vector<std::string> components;
  dezov::XmlDocument* document = DocumentForPath(section, components);
  if (document == nullptr) return false;
  const DOMNode* found = FollowFirstMatches(*document, components, components.size());
  if (found != nullptr) AppendElementNames(found, document->codec(), keys);
  return true;  // a missing section lists nothing but is no failure
}

bool CXmlIni::RemoveSection(const char* section) {
  std::vector<std::string> components;
  dezov::XmlDocument* document = DocumentForPath(section, components);
  if (document == nullptr) return false;
  DOMNode* parent = FollowFirstMatches(*document, components, components.size() - 1);
  if (parent == nullptr) return false;

  // Note every match first: removing while walking would lose the next sibling.
  const NameQuery last(components.back(), document->codec());
  std::vector<DOMNode*> doomed;
  for (DOMNode* child = parent->getFirstChild(); child; child = child->getNextSibling())
    if (dezov::IsMatchingElement(child, last)) doomed.push_back(child);
  for (DOMNode* child : doomed) document->RemoveChild(parent, child);
  if (doomed.empty()) return false;
  document->changes().RemoveElements(section);
  return true;
}

bool CXmlIni::RemoveKey(const char* section, const char* key) {
  return RemoveSection(dezov::KeyPath(section, key).c_str());
}
