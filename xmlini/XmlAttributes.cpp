// Attributes of an element addressed by path and index. Lookups ignore the
// case of A-Z; writing uses the exact name given.
#include <vector>

#include "../include/XmlIni.h"
#include "../text/TextUtil.h"
#include "XmlDocument.h"

using namespace xercesc;

namespace {

// Takes every attribute off element; true when there was at least one. The
// attributes are noted first and removed once each: the DOM puts back an
// attribute that has a default in the document's DTD, so "remove until none
// is left" would never end.
bool RemoveAllAttributes(dezov::XmlDocument& document, DOMElement* element) {
  const DOMNamedNodeMap* attributes = element->getAttributes();
  if (attributes == nullptr) return false;
  std::vector<DOMAttr*> present;
  for (XMLSize_t i = 0; i < attributes->getLength(); ++i)
    present.push_back(static_cast<DOMAttr*>(attributes->item(i)));
  for (DOMAttr* attribute : present) document.RemoveAttribute(element, attribute);
  return !present.empty();
}

}  // namespace

std::string CXmlIni::GetAttribute(const char* path, const char* attribute, int index) {
  return AttributeAt(path, attribute, index);
}

bool CXmlIni::SetAttribute(const char* path, const char* attribute, const char* value, int index) {
  return SetAttributeAt(path, attribute, value, index);
}

bool CXmlIni::RemoveAttribute(const char* path, const char* attribute, int index) {
  auto* element = static_cast<DOMElement*>(FindElement(path, index, false));
  if (element == nullptr) return false;
  const std::string name = dezov::OrEmpty(attribute);
  if (name.empty()) {
    if (!RemoveAllAttributes(*pXMLDoc, element)) return false;
  } else {
    DOMAttr* found = dezov::FindAttribute(element, dezov::NameQuery(name, pXMLDoc->codec()));
    if (found == nullptr) return false;
    pXMLDoc->RemoveAttribute(element, found);
  }
  pXMLDoc->changes().RemoveAttribute(path, attribute, index);
  return true;
}

bool CXmlIni::HaveAttribute(const char* path, const char* attribute, int index) {
  auto* element = static_cast<DOMElement*>(FindElement(path, index, false));
  if (element == nullptr) return false;
  const dezov::NameQuery name(dezov::OrEmpty(attribute), pXMLDoc->codec());
  return dezov::FindAttribute(element, name) != nullptr;
}

bool CXmlIni::ClearAttribute(const char* path) {
  auto* element = static_cast<DOMElement*>(FindElement(path, 0, false));
  if (element == nullptr) return false;
  RemoveAllAttributes(*pXMLDoc, element);
  pXMLDoc->changes().ClearAttributes(path);
  return true;
}
