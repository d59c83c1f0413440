// The record cursor: Locate puts it on a list of records and reads them,
// Append adds a new element and Set writes its attributes. Records are also
// counted and walked through node handles: a handle is a number the document
// hands out for an element (never an address, so it fits a 32-bit long); a
// handle it never gave out finds nothing.
#include "../include/XmlIni.h"
#include "../text/Numbers.h"
#include "XmlDocument.h"
#include "XmlNodeHandles.h"
#include "XmlRecordCursor.h"
#include "XmlStoreAccess.h"

using namespace xercesc;
using dezov::NameQuery;

namespace dezov {

DOMElement* FindRecord(XmlDocument* document, DOMNode* list, const std::string& recordName,
                       int index, RecordPosition& last) {
  if (document == nullptr || list == nullptr || index < 0) return nullptr;
  const NameQuery query(recordName, document->codec());
  DOMNode* node = list->getFirstChild();
  int number = 0;
  // The remembered record is trusted only while no element was added or
  // removed anywhere in the document, and only if it still sits in this list.
  auto* remembered = static_cast<DOMNode*>(const_cast<void*>(last.node));
  if (remembered != nullptr && last.index <= index && last.generation == document->generation() &&
      list->getOwnerDocument() == document->dom() && remembered->getParentNode() == list) {
    node = remembered;
    number = last.index;
  }
  for (; node != nullptr; node = node->getNextSibling()) {
    if (!IsMatchingElement(node, query)) continue;
    if (number == index) {
      last.node = node;
      last.index = index;
      last.generation = document->generation();
      return static_cast<DOMElement*>(node);
    }
    ++number;
  }
  return nullptr;
}

std::int32_t CountRecords(XmlDocument* document, const DOMNode* list,
                          const std::string& recordName) {
  if (document == nullptr || list == nullptr) return 0;
  const NameQuery query(recordName, document->codec());
  std::int32_t count = 0;
  for (const DOMNode* node = list->getFirstChild(); node; node = node->getNextSibling())
    if (IsMatchingElement(node, query)) ++count;
  return count;
}

}  // namespace dezov

bool CXmlIni::Locate(const char* path, const char* name) {
  const std::string recordName = dezov::OrEmpty(name);
  const std::string lookup =
      recordName.empty() ? std::string(dezov::OrEmpty(path)) : dezov::KeyPath(path, name);
  nCurCount = 0;
  strCurName.clear();
  pCurNode = nullptr;
  lastRecord = dezov::RecordPosition();

  auto* found = static_cast<DOMElement*>(FindElement(lookup.c_str(), 0, false));
  if (found == nullptr) return false;
  DOMNode* list = found->getParentNode();
  if (list == nullptr || list->getNodeType() != DOMNode::ELEMENT_NODE) return false;
  // The record name takes the case written in the document, not the caller's.
  strCurName = pXMLDoc->codec().Encode(found->getNodeName());
  pCurNode = static_cast<DOMElement*>(list);
  return true;
}

bool CXmlIni::Append(const char* path) {
  pCurNode = nullptr;
  lastRecord = dezov::RecordPosition();
  std::vector<std::string> components;
  dezov::XmlDocument* document = DocumentForPath(path, components);
  if (document == nullptr) return false;
  // Components before the last take the first match (no backtracking); the
  // last one always becomes a new element.
  std::size_t level = 0;
  DOMNode* parent = document->WalkPathPrefix(components, level);
  DOMElement* created = document->CreatePath(parent, components, level);
  if (created == nullptr) return false;
  document->changes().Append(path, created);
  pCurNode = created;
  return true;
}

bool CXmlIni::Set(const char* name, const char* value) {
  if (pCurNode == nullptr || pXMLDoc == nullptr) return false;
  dezov::Utf16 attribute;
  dezov::Utf16 text;
  if (!dezov::StorableAttribute(pXMLDoc->codec(), name, value, attribute, text)) {
    strLastErrMsg = "Set Fail ( the text cannot be stored in XML )";
    return false;
  }
  DOMElement* element = dezov::CursorElement(pCurNode);
  pXMLDoc->SetAttribute(element, attribute, text);
  pXMLDoc->changes().SetOnElement(*pXMLDoc, element, name, value);
  return true;
}

bool CXmlIni::Set(const char* name, long value) {
  return Set(name, dezov::FormatLong(value).c_str());
}

bool CXmlIni::Set(const char* name, int value) { return Set(name, static_cast<long>(value)); }

bool CXmlIni::Set(const char* name, double value) {
  return Set(name, dezov::FormatFixed(value).c_str());
}

std::string CXmlIni::Get(const char* name, int index) {
  DOMElement* record = dezov::FindRecord(pXMLDoc.get(), dezov::CursorElement(pCurNode),
                                         strCurName, index, lastRecord);
  return record ? dezov::AttributeText(record, name, pXMLDoc->codec()) : std::string();
}

long CXmlIni::GetLong(const char* name, int index) {
  return dezov::ParseLong(Get(name, index).c_str());
}

double CXmlIni::GetDouble(const char* name, int index) {
  return dezov::ParseDouble(Get(name, index).c_str());
}

bool CXmlIni::GetBool(const char* name, int index) {
  const std::string text = Get(name, index);
  if (dezov::NamesEqual(text, "true")) return true;
  if (dezov::NamesEqual(text, "false")) return false;
  return dezov::ParseLong(text.c_str()) > 0;
}

long CXmlIni::GetCount() {
  nCurCount = dezov::CountRecords(pXMLDoc.get(), dezov::CursorElement(pCurNode), strCurName);
  return nCurCount;
}

long CXmlIni::GetNodeByIndex(int index) {
  DOMElement* record = dezov::FindRecord(pXMLDoc.get(), dezov::CursorElement(pCurNode),
                                         strCurName, index, lastRecord);
  return record ? nodeHandles->HandleOf(pXMLDoc, record) : 0;
}

long CXmlIni::GetChildNode(long node, const char* name) {
  if (node <= 0) return 0;
  const dezov::NodeHandleTable::Target target = nodeHandles->ElementOf(node);
  if (target.element == nullptr) return 0;
  const dezov::NameQuery query(dezov::OrEmpty(name), target.document->codec());
  DOMElement* child = target.document->FindChild(target.element, query, 0);
  return child ? nodeHandles->HandleOf(target.document, child) : 0;
}

std::string CXmlIni::GetAttribute(long node, const char* attribute) {
  if (node <= 0) return std::string();
  const dezov::NodeHandleTable::Target target = nodeHandles->ElementOf(node);
  if (target.element == nullptr) return std::string();
  return dezov::AttributeText(target.element, attribute, target.document->codec());
}
