// The XML parser of a store and every document it loaded. Shared by a store
// and its copies; documents stay valid as long as the host lives.
#ifndef DEZOV20_XMLINI_XML_PARSER_HOST_H
#define DEZOV20_XMLINI_XML_PARSER_HOST_H

#include <memory>
#include <string>
#include <vector>

#include "../platform/Status.h"
#include "GbkCodec.h"
#include "XmlDocument.h"
#include "XmlParser.h"

namespace dezov {

class XmlParserHost {
 public:
  XmlParserHost();
  XmlParserHost(const XmlParserHost&) = delete;
  XmlParserHost& operator=(const XmlParserHost&) = delete;
  ~XmlParserHost();

  // Reads and parses the file; document is the new document, or null with a
  // status saying why (IOError/NotFound from reading, else as XmlParser::Parse).
  Status Load(const std::string& fileName, XmlDocument*& document);

 private:
  GbkCodec codec_;
  NodeHandleTable handles_;
  XmlParser parser_;
  std::vector<std::unique_ptr<XmlDocument>> documents_;
};

}  // namespace dezov

#endif  // DEZOV20_XMLINI_XML_PARSER_HOST_H
