// The XML parser of a store and every document it loaded. Shared by a store
// and its copies; documents stay valid as long as the host lives.
#ifndef DEZOV20_XMLINI_XML_PARSER_HOST_H
#define DEZOV20_XMLINI_XML_PARSER_HOST_H

#include <memory>
#include <string>
#include <vector>

#include "GbkCodec.h"
#include "XmlDocument.h"

namespace dezov {

class SafeDomParser;

class XmlParserHost {
 public:
  XmlParserHost();
  XmlParserHost(const XmlParserHost&) = delete;
  XmlParserHost& operator=(const XmlParserHost&) = delete;
  ~XmlParserHost();

  // Parses the file; the new document, or null with the message text in error.
  XmlDocument* Load(const std::string& fileName, std::string& error);
  GbkCodec& codec() { return codec_; }

 private:
  GbkCodec codec_;
  NodeHandleTable handles_;
  std::unique_ptr<SafeDomParser> parser_;
  std::vector<std::unique_ptr<XmlDocument>> documents_;
};

}  // namespace dezov

#endif  // DEZOV20_XMLINI_XML_PARSER_HOST_H
