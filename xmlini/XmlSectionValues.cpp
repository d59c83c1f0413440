// Section/key values: a key is an element inside a section element and its
// value is the key element's attribute "Value".
#include "../include/XmlIni.h"
#include "../text/Numbers.h"
#include "XmlDocument.h"
#include "XmlStoreAccess.h"

using namespace xercesc;

namespace {
const char kValueAttribute[] = "Value";
}

std::string CXmlIni::GetValue(const char* section, const char* key, int index) {
  return AttributeAt(dezov::KeyPath(section, key).c_str(), kValueAttribute, index);
}

std::string CXmlIni::GetValue(std::string& section, std::string& key, int index) {
  return GetValue(section.c_str(), key.c_str(), index);
}

std::string CXmlIni::GetValue(const char* section, std::string& key, int index) {
  return GetValue(section, key.c_str(), index);
}

long CXmlIni::GetLong(const char* section, const char* key, int index) {
  return dezov::ParseLong(GetValue(section, key, index).c_str());
}

bool CXmlIni::SetValue(const char* section, const char* key, const char* value, int index) {
  return SetAttributeAt(dezov::KeyPath(section, key).c_str(), kValueAttribute, value, index);
}

bool CXmlIni::SetValue(const char* section, const char* key, std::string value, int index) {
  return SetValue(section, key, value.c_str(), index);
}

bool CXmlIni::SetValue(const char* section, const char* key, int value, int index) {
  return SetValue(section, key, static_cast<long>(value), index);
}

bool CXmlIni::SetValue(const char* section, const char* key, long value, int index) {
  return SetValue(section, key, dezov::FormatLong(value).c_str(), index);
}

std::string CXmlIni::AttributeAt(const char* path, const char* attribute, int index) {
  auto* element = static_cast<DOMElement*>(FindElement(path, index, false));
  if (element == nullptr) return std::string();
  const dezov::NameQuery name(dezov::OrEmpty(attribute), pXMLDoc->codec());
  const DOMAttr* found = dezov::FindAttribute(element, name);
  return found ? pXMLDoc->codec().Encode(found->getValue()) : std::string();
}

bool CXmlIni::SetAttributeAt(const char* path, const char* attribute, const char* value,
                             int index) {
  std::vector<std::string> components;
  dezov::XmlDocument* document = DocumentForPath(path, components);
  if (document == nullptr) return false;
  dezov::Utf16 name;
  dezov::Utf16 text;
  if (!dezov::StorableAttribute(document->codec(), attribute, value, name, text)) {
    strLastErrMsg = "SetValue Fail ( the text cannot be stored in XML )";
    return false;
  }
  DOMElement* element = dezov::ResolvePath(*document, components, index, true);
  if (element == nullptr) return false;
  document->SetAttribute(element, name, text);
  document->changes().SetAttribute(path, attribute, value, index);
  return true;
}
