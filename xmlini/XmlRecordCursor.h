// SPDX-License-Identifier: MIT
// Record lookup shared by the record cursor and the node handles: records are
// the element children of the cursor element whose name matches the record
// name, numbered from 0 in document order.
#ifndef DEZOV20_XMLINI_XML_RECORD_CURSOR_H
#define DEZOV20_XMLINI_XML_RECORD_CURSOR_H

#include <string>
#include <xercesc/dom/DOM.hpp>

#include "../include/XmlIni.h"
#include "../text/TextUtil.h"
#include "XmlDocument.h"

namespace dezov {

// The index-th record below list, or null. Resumes from last (the record found
// by the previous call) when the document is unchanged since and index lies at
// or after it, so reading records 0..n-1 in order walks the list once; last is
// updated to the record found.
xercesc::DOMElement* FindRecord(XmlDocument* document, xercesc::DOMNode* list,
                                const std::string& recordName, int index, RecordPosition& last);

// Number of records below list.
std::int32_t CountRecords(XmlDocument* document, const xercesc::DOMNode* list,
                          const std::string& recordName);

// The cursor element kept in CXmlIni::pCurNode (always an element, or null).
inline xercesc::DOMElement* CursorElement(void* node) {
  return static_cast<xercesc::DOMElement*>(node);
}

// Value of element's first attribute whose name matches name; "" when none.
inline std::string AttributeText(const xercesc::DOMElement* element, const char* name,
                                 GbkCodec& codec) {
  const xercesc::DOMAttr* found = FindAttribute(element, NameQuery(OrEmpty(name), codec));
  return found ? codec.Encode(found->getValue()) : std::string();
}

}  // namespace dezov

#endif  // DEZOV20_XMLINI_XML_RECORD_CURSOR_H
