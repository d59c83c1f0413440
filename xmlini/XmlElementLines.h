// Where the elements of a store's document stood in the file it read, for
// messages that point into the file.
#ifndef DEZOV20_XMLINI_XML_ELEMENT_LINES_H
#define DEZOV20_XMLINI_XML_ELEMENT_LINES_H

class CXmlIni;

namespace dezov {

class XmlElementLines {
 public:
  // The line of the store's file on which the first element at path (names
  // matched as every store operation matches them) starts; 0 when there is no
  // such element, or elements were added or removed since the file was read.
  static int LineOf(CXmlIni& store, const char* path);
};

}  // namespace dezov

#endif  // DEZOV20_XMLINI_XML_ELEMENT_LINES_H
