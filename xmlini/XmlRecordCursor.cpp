// SPDX-License-Identifier: MIT
#include "XmlRecordCursor.h"

using namespace xercesc;

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
