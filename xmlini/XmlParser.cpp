// SPDX-License-Identifier: MIT
// Parsing a configuration document held in memory: its declared encoding is
// checked, and the bytes are parsed by a parser that reads nothing else,
// bounds entity expansion and element depth, and treats every reported error
// as a failed parse.
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/XMLPScanToken.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLEntityResolver.hpp>
#include <xercesc/util/XMLResourceIdentifier.hpp>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <new>
#include <stdexcept>
#include <vector>

#include "../text/TextUtil.h"
#include "XmlDocument.h"
#include "XmlLibrary.h"
#include "XmlParser.h"

using namespace xercesc;

namespace dezov {
namespace {

// Entity expansions one document may make: plenty for configuration files,
// far too few for an exponential "billion laughs" blow-up.
constexpr XMLSize_t kEntityExpansionLimit = 10000;

// Labels that Windows reads as code page 936. Files written there carry
// GBK-only characters under the label "gb2312", so all of them are read as 936.
const char* const kCodePage936Labels[] = {
    "gb2312", "gb_2312-80", "gb_2312", "csgb2312", "euc-cn", "x-euc-cn", "cn-gb",
    "csiso58gb231280", "iso-ir-58", "chinese", "gbk", "cp936", "ms936",
    "windows-936", "x-gbk"};

// The encoding named in the XML declaration, lower-cased; "" when none.
std::string DeclaredEncoding(std::string_view bytes) {
  if (bytes.compare(0, 5, "<?xml") != 0) return "";
  const std::size_t end = bytes.find("?>");
  const std::string_view declaration = bytes.substr(0, end == std::string::npos ? 512 : end);
  const std::size_t key = declaration.find("encoding");
  if (key == std::string::npos) return "";
  std::size_t pos = key + 8;
  while (pos < declaration.size() && std::isspace(static_cast<unsigned char>(declaration[pos])))
    ++pos;
  if (pos >= declaration.size() || declaration[pos] != '=') return "";
  ++pos;
  while (pos < declaration.size() && std::isspace(static_cast<unsigned char>(declaration[pos])))
    ++pos;
  if (pos >= declaration.size() || (declaration[pos] != '"' && declaration[pos] != '\'')) return "";
  const std::size_t close = declaration.find(declaration[pos], pos + 1);
  if (close == std::string::npos) return "";
  return FoldName(declaration.substr(pos + 1, close - pos - 1));
}

bool IsCodePage936Label(const std::string& encoding) {
  for (const char* label : kCodePage936Labels)
    if (encoding == label) return true;
  return false;
}

// Decodes a code page 936 document; false with the place of the first byte
// sequence that is not GBK (lines and columns counted as the parser does).
bool DecodeDocument(GbkCodec& codec, std::string_view bytes, Utf16& text, std::string& error) {
  const std::size_t taken = codec.DecodeValid(bytes, text);
  if (taken == bytes.size()) return true;
  unsigned long long line = 1;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool lineFeed = text[i] == '\n';
    const bool loneReturn = text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n');
    if (lineFeed || loneReturn) {
      ++line;
      lineStart = i + 1;
    }
  }
  const std::size_t shown = std::min<std::size_t>(bytes.size() - taken, 4);
  std::string hex;
  for (std::size_t i = 0; i < shown; ++i) {
    static const char kDigits[] = "0123456789ABCDEF";
    const auto byte = static_cast<unsigned char>(bytes[taken + i]);
    if (i > 0) hex += ' ';
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
  }
  FormatString(error, "bytes %s are not gb2312 (line %llu, column %llu)", hex.c_str(), line,
               static_cast<unsigned long long>(text.size() - lineStart + 1));
  return false;
}

// Keeps the first error the parser reports.
class FirstErrorHandler : public ErrorHandler {
 public:
  FirstErrorHandler() = default;
  void warning(const SAXParseException&) override {}
  void error(const SAXParseException& e) override { Keep(e); }
  void fatalError(const SAXParseException& e) override { Keep(e); }
  void resetErrors() override { message_.clear(); }
  const std::string& message() const { return message_; }

 private:
  void Keep(const SAXParseException& e) {
    if (!message_.empty()) return;
    FormatString(message_, "%s (line %llu, column %llu)", ThreadGbkCodec().Encode(e.getMessage()).c_str(),
                 static_cast<unsigned long long>(e.getLineNumber()),
                 static_cast<unsigned long long>(e.getColumnNumber()));
  }

  std::string message_;
};

// Refuses every external entity: the parser reads the named file only.
class RefusingEntityResolver : public XMLEntityResolver {
 public:
  InputSource* resolveEntity(XMLResourceIdentifier* resource) override {
    if (refused_.empty()) {
      const XMLCh* id = resource ? resource->getSystemId() : nullptr;
      refused_ = std::string("external entity refused: ") +
                 (id ? std::string(id, id + XMLString::stringLen(id)).c_str() : "");
    }
    static const XMLByte kNothing[] = {0};
    return new MemBufInputSource(kNothing, 0, u"refused");
  }
  const std::string& refused() const { return refused_; }
  void Reset() { refused_.clear(); }

 private:
  std::string refused_;
};

}  // namespace

// A DOM parser with default settings except for the safety limits above.
class SafeDomParser : public XercesDOMParser {
 public:
  SafeDomParser() {
    security_.setEntityExpansionLimit(kEntityExpansionLimit);
    setSecurityManager(&security_);
    setLoadExternalDTD(false);
    setDisableDefaultEntityResolution(true);
    setXMLEntityResolver(&resolver_);
    setErrorHandler(&errors_);
  }

  // The line of each element of the last parse, in document order.
  std::vector<std::uint32_t> TakeLines() { return std::move(lines_); }

  // Parses bytes; the adopted document, or null with the message in error.
  DOMDocument* ParseBytes(std::string_view bytes, const std::string& systemId,
                          std::string& error) {
    depth_ = 0;
    too_deep_ = false;
    pending_space_.clear();
    resolver_.Reset();
    errors_.resetErrors();
    lines_.clear();
    const Utf16 id(systemId.begin(), systemId.end());
    // Code page 936 files are decoded here, so that a byte sequence that is
    // not GBK is found with its place instead of becoming a replacement
    // character that the next write would make permanent.
    Utf16 text;
    const bool decoded = IsCodePage936Label(DeclaredEncoding(bytes));
    if (decoded && !DecodeDocument(ThreadGbkCodec(), bytes, text, error)) return nullptr;
    MemBufInputSource source(
        decoded ? reinterpret_cast<const XMLByte*>(text.data())
                : reinterpret_cast<const XMLByte*>(bytes.data()),
        decoded ? text.size() * sizeof(XMLCh) : bytes.size(), id.c_str());
    if (decoded) source.setEncoding(XMLUni::fgXMLChEncodingString);
    XMLPScanToken token;
    if (parseFirst(source, token)) {
      while (!too_deep_ && parseNext(token)) {
      }
    }
    if (too_deep_) parseReset(token);
    DOMDocument* document = adoptDocument();
    if (too_deep_) {
      FormatString(error, "elements nested deeper than %d levels", kMaxElementDepth);
    } else if (!errors_.message().empty()) {
      error = errors_.message();
    } else if (!resolver_.refused().empty()) {
      error = resolver_.refused();
    } else {
      return document;
    }
    if (document) document->release();
    return nullptr;
  }

 protected:
  void startElement(const XMLElementDecl& decl, const unsigned int urlId, const XMLCh* const prefix,
                    const RefVectorOf<XMLAttr>& attributes, const XMLSize_t count,
                    const bool isEmpty, const bool isRoot) override {
    if (too_deep_) return;
    if (depth_ + 1 > kMaxElementDepth) {
      too_deep_ = true;
      return;
    }
    pending_space_.clear();  // indentation before an element
    XercesDOMParser::startElement(decl, urlId, prefix, attributes, count, isEmpty, isRoot);
    const Locator* where = getScanner()->getLocator();
    lines_.push_back(where ? static_cast<std::uint32_t>(where->getLineNumber()) : 0);
    if (!isEmpty) ++depth_;
  }

  void endElement(const XMLElementDecl& decl, const unsigned int urlId, const bool isRoot,
                  const XMLCh* const prefix) override {
    if (too_deep_) return;
    --depth_;
    if (fCurrentParent != nullptr && fCurrentParent->getFirstChild() == nullptr)
      KeepPendingSpace();  // the element's only content: real text
    pending_space_.clear();  // indentation before an end tag
    XercesDOMParser::endElement(decl, urlId, isRoot, prefix);
  }

  // Text that is only whitespace and lies between tags (indentation) is held
  // back and dropped: no read of the store sees text, and the writer indents
  // anew. That saves a node per line, the most costly part of a parse.
  // Whitespace that continues other text, or is an element's only content,
  // is kept as the document has it.
  void docCharacters(const XMLCh* const chars, const XMLSize_t length,
                     const bool cdataSection) override {
    const bool continuesText =
        fCurrentNode != nullptr && fCurrentNode->getNodeType() == DOMNode::TEXT_NODE;
    if (!cdataSection && !continuesText && IsSpace(chars, length)) {
      pending_space_.append(chars, length);
      return;
    }
    KeepPendingSpace();
    XercesDOMParser::docCharacters(chars, length, cdataSection);
  }

  void docComment(const XMLCh* const comment) override {
    KeepPendingSpace();
    XercesDOMParser::docComment(comment);
  }

  void docPI(const XMLCh* const target, const XMLCh* const data) override {
    KeepPendingSpace();
    XercesDOMParser::docPI(target, data);
  }

  void startEntityReference(const XMLEntityDecl& entity) override {
    KeepPendingSpace();
    XercesDOMParser::startEntityReference(entity);
  }

  void endEntityReference(const XMLEntityDecl& entity) override {
    KeepPendingSpace();
    XercesDOMParser::endEntityReference(entity);
  }

 private:
  SecurityManager security_;
  RefusingEntityResolver resolver_;
  FirstErrorHandler errors_;
  static bool IsSpace(const XMLCh* chars, XMLSize_t length) {
    for (XMLSize_t i = 0; i < length; ++i)
      if (chars[i] != ' ' && chars[i] != '\t' && chars[i] != '\n' && chars[i] != '\r') return false;
    return true;
  }

  void KeepPendingSpace() {
    if (pending_space_.empty()) return;
    const Utf16 space = std::move(pending_space_);
    pending_space_.clear();
    XercesDOMParser::docCharacters(space.data(), space.size(), false);
  }

  int depth_ = 0;
  bool too_deep_ = false;
  std::vector<std::uint32_t> lines_;  // of each element started, in document order
  Utf16 pending_space_;
};

XmlParser::XmlParser() : parser_(std::make_unique<SafeDomParser>()) {}

XmlParser::~XmlParser() = default;

std::vector<std::uint32_t> XmlParser::TakeElementLines() { return parser_->TakeLines(); }

Status XmlParser::Parse(std::string_view bytes, const std::string& systemId,
                        DOMDocument*& document) {
  document = nullptr;
  std::string error;
  try {
    document = parser_->ParseBytes(bytes, systemId, error);
  } catch (const XMLException& e) {
    error = ThreadGbkCodec().Encode(e.getMessage());
  } catch (const OutOfMemoryException&) {
    error = "out of memory";
  } catch (const DOMException& e) {
    std::string detail;
    FormatString(detail, "code:%li", static_cast<long>(e.code));
    const std::string message = ThreadGbkCodec().Encode(e.getMessage());
    if (!message.empty()) detail += " msg:" + message + " ";
    return Status::Invalid(detail);
  } catch (const std::bad_alloc&) {
    error = "out of memory";
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "an exception of unknown type";
  }
  if (document == nullptr) return Status::Corrupt(error.empty() ? "no document" : error);
  return Status::Ok();
}

namespace {

// Parsers made so far and not in use. Making a parser costs far more than a
// small parse, so every Open takes one from here; there are never more than
// the most threads that parsed at once.
class ParserPool {
 public:
  ParserPool() { StartXmlLibrary(); }  // so that the pool dies before the library stops
  std::unique_ptr<XmlParser> Take() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!idle_.empty()) {
        std::unique_ptr<XmlParser> parser = std::move(idle_.back());
        idle_.pop_back();
        return parser;
      }
    }
    return std::make_unique<XmlParser>();
  }
  void Give(std::unique_ptr<XmlParser> parser) {
    std::lock_guard<std::mutex> lock(mutex_);
    idle_.push_back(std::move(parser));
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<XmlParser>> idle_;
};

}  // namespace

Status ParseXml(std::string_view bytes, const std::string& systemId, DOMDocument*& document,
                std::vector<std::uint32_t>& elementLines) {
  static ParserPool pool;
  std::unique_ptr<XmlParser> parser = pool.Take();
  Status status = parser->Parse(bytes, systemId, document);
  elementLines = parser->TakeElementLines();
  pool.Give(std::move(parser));
  return status;
}

}  // namespace dezov
