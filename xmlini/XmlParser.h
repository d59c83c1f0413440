// SPDX-License-Identifier: MIT
// A parser of configuration documents held in memory: it reads nothing but the
// bytes it is given (no external entities or DTDs), bounds entity expansion and
// element depth, and takes a declared gb2312 or GBK label as code page 936.
#ifndef DEZOV20_XMLINI_XML_PARSER_H
#define DEZOV20_XMLINI_XML_PARSER_H

#include <xercesc/dom/DOMDocument.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../platform/Status.h"

namespace dezov {

class SafeDomParser;

class XmlParser {
 public:
  // Needs the XML library started.
  XmlParser();
  XmlParser(const XmlParser&) = delete;
  XmlParser& operator=(const XmlParser&) = delete;
  ~XmlParser();

  // Parses bytes (systemId names them in messages). On success the caller
  // owns document (release() it). Otherwise document is null and the status is
  // Corrupt with the parser's message and position (empty when the failure has
  // no description), or Invalid for an exception of the DOM ("code:N msg:M").
  Status Parse(std::string_view bytes, const std::string& systemId,
               xercesc::DOMDocument*& document);
  // The line on which each element of the last parsed document starts (its
  // start tag's end), in document order.
  std::vector<std::uint32_t> TakeElementLines();

 private:
  std::unique_ptr<SafeDomParser> parser_;
};

// XmlParser::Parse with a parser of a process-wide pool (safe from any
// thread); elementLines receives XmlParser::TakeElementLines.
Status ParseXml(std::string_view bytes, const std::string& systemId,
                xercesc::DOMDocument*& document, std::vector<std::uint32_t>& elementLines);

}  // namespace dezov

#endif  // DEZOV20_XMLINI_XML_PARSER_H
