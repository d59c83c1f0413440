// Counting the records under the cursor and walking them through node
// handles. A handle is a number the document hands out for an element (never
// an address, so it fits a 32-bit long); a handle it never gave out finds
// nothing.
#include "../include/XmlIni.h"
#include "XmlDocument.h"
#include "XmlRecordAccess.h"

using namespace xercesc;

long CXmlIni::GetCount() {
  nCurCount = dezov::CountRecords(pXMLDoc, dezov::CursorElement(pCurNode), strCurName);
  return nCurCount;
}

long CXmlIni::GetNodeByIndex(int index) {
  DOMElement* record =
      dezov::FindRecord(pXMLDoc, dezov::CursorElement(pCurNode), strCurName, index, lastRecord);
  return record ? pXMLDoc->HandleOf(record) : 0;
}

long CXmlIni::GetChildNode(long node, const char* name) {
  if (node <= 0 || pXMLDoc == nullptr) return 0;
  const DOMElement* element = pXMLDoc->ElementOf(node);
  if (element == nullptr) return 0;
  const dezov::NameQuery query(dezov::OrEmpty(name), pXMLDoc->codec());
  DOMElement* child = pXMLDoc->FindChild(element, query, 0);
  return child ? pXMLDoc->HandleOf(child) : 0;
}

std::string CXmlIni::GetAttribute(long node, const char* attribute) {
  if (node <= 0 || pXMLDoc == nullptr) return std::string();
  const DOMElement* element = pXMLDoc->ElementOf(node);
  return element ? dezov::AttributeText(element, attribute, pXMLDoc->codec()) : std::string();
}
