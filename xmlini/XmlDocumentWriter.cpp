// SPDX-License-Identifier: MIT
#include "XmlDocumentWriter.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <cstring>
#include <stdexcept>

#include "../text/TextUtil.h"

using namespace xercesc;

namespace {

// Keeps the first error the serialiser reports; writing stops there.
class FirstWriteError : public DOMErrorHandler {
 public:
  explicit FirstWriteError(dezov::GbkCodec& codec) : codec_(codec) {}
  bool handleError(const DOMError& error) override {
    if (message_.empty()) {
      message_ = codec_.Encode(error.getMessage());
      if (message_.empty()) message_ = "the document could not be serialised";
    }
    return false;
  }
  const std::string& message() const { return message_; }

 private:
  dezov::GbkCodec& codec_;
  std::string message_;
};

// Leaves out the whitespace between elements: the serialiser indents anew,
// and keeping the old indentation too would make the file grow on every write.
class IndentationFilter : public DOMLSSerializerFilter {
 public:
  FilterAction acceptNode(const DOMNode* node) const override {
    if (node->getPreviousSibling() == nullptr && node->getNextSibling() == nullptr)
      return FILTER_ACCEPT;  // the only content of its element: real text
    for (const XMLCh* c = node->getNodeValue(); c && *c; ++c)
      if (*c != ' ' && *c != '\t' && *c != '\n' && *c != '\r') return FILTER_ACCEPT;
    return FILTER_SKIP;
  }
  ShowType getWhatToShow() const override { return DOMNodeFilter::SHOW_TEXT; }
};

// Owns a serialiser or output the DOM implementation handed out.
template <typename T>
struct Released {
  void operator()(T* object) const { object->release(); }
};

// The first element or attribute name, comment, processing instruction or
// CDATA section that has a character without a GBK form, or null. Those
// cannot hold a character reference, so such a document cannot be written.
const XMLCh* TextWithoutGbkForm(dezov::XmlDocument& document) {
  dezov::GbkCodec& codec = document.codec();
  DOMNode* node = document.dom()->getFirstChild();
  while (node != nullptr) {
    switch (node->getNodeType()) {
      case DOMNode::ELEMENT_NODE: {
        if (!codec.CanEncode(node->getNodeName())) return node->getNodeName();
        const DOMNamedNodeMap* attributes = node->getAttributes();
        for (XMLSize_t i = 0; attributes && i < attributes->getLength(); ++i)
          if (!codec.CanEncode(attributes->item(i)->getNodeName()))
            return attributes->item(i)->getNodeName();
        break;
      }
      case DOMNode::COMMENT_NODE:
      case DOMNode::CDATA_SECTION_NODE:
      case DOMNode::PROCESSING_INSTRUCTION_NODE:
        if (!codec.CanEncode(node->getNodeValue())) return node->getNodeValue();
        break;
      default:
        break;
    }
    // Depth-first without recursion: the document may be deep.
    if (node->getNodeType() == DOMNode::ELEMENT_NODE && node->getFirstChild() != nullptr) {
      node = node->getFirstChild();
      continue;
    }
    while (node != nullptr && node->getNextSibling() == nullptr) node = node->getParentNode();
    if (node != nullptr) node = node->getNextSibling();
  }
  return nullptr;
}

// Files keep the label "gb2312" while their bytes are code page 936, as the
// platform that wrote them originally does; reading treats the label the same
// way, so every GBK character in names and values is written as itself.
void RelabelDeclaration(std::string& bytes, const XMLCh* encodingName) {
  const std::string written =
      "encoding=\"" +
      std::string(encodingName, encodingName + xercesc::XMLString::stringLen(encodingName)) + "\"";
  const std::size_t declarationEnd = bytes.find("?>");
  const std::size_t label = bytes.find(written);
  if (label != std::string::npos && label < declarationEnd)
    bytes.replace(label, written.size(), "encoding=\"gb2312\"");
}

// Serialises document into bytes; false with a message on any failure.
bool SerialiseOrExplain(dezov::XmlDocument& document, std::string& bytes, std::string& error) {
  if (const XMLCh* text = TextWithoutGbkForm(document)) {
    error = "the name or text '" + document.codec().Encode(text) + "' has no gb2312 form";
    return false;
  }
  static const XMLCh kCore[] = {'C', 'o', 'r', 'e', 0};
  DOMImplementation* implementation = DOMImplementationRegistry::getDOMImplementation(kCore);
  if (implementation == nullptr) {
    error = "DOMImplementationRegistry::getDOMImplementation Fail";
    return false;
  }
  std::unique_ptr<DOMLSSerializer, Released<DOMLSSerializer>> serializer(
      implementation->createLSSerializer());
  std::unique_ptr<DOMLSOutput, Released<DOMLSOutput>> output(implementation->createLSOutput());
  FirstWriteError errors(document.codec());
  IndentationFilter indentation;
  serializer->setFilter(&indentation);
  DOMConfiguration* config = serializer->getDomConfig();
  config->setParameter(XMLUni::fgDOMErrorHandler, &errors);
  if (config->canSetParameter(XMLUni::fgDOMWRTFormatPrettyPrint, true))
    config->setParameter(XMLUni::fgDOMWRTFormatPrettyPrint, true);
  // Serialised as UTF-16 and encoded here: the codec writes characters code
  // page 936 lacks in their GB18030 four-byte form, as they were read.
  MemBufFormatTarget target;
  output->setByteStream(&target);
  output->setEncoding(XMLUni::fgXMLChEncodingString);
  const bool written = serializer->write(document.dom(), output.get());
  if (!written || !errors.message().empty()) {
    error = errors.message().empty() ? "the document could not be serialised" : errors.message();
    return false;
  }
  dezov::Utf16 text(target.getLen() / sizeof(XMLCh), 0);
  std::memcpy(&text[0], target.getRawBuffer(), text.size() * sizeof(XMLCh));
  bytes = document.codec().Encode(text.data(), text.size(),
                                  dezov::GbkCodec::Unmapped::kCharacterReference);
  RelabelDeclaration(bytes, XMLUni::fgXMLChEncodingString);
  return true;
}

}  // namespace

namespace dezov {

Status SerialiseDocument(XmlDocument& document, std::string& bytes) {
  std::string error;
  try {
    if (SerialiseOrExplain(document, bytes, error)) return Status::Ok();
  } catch (const XMLException& e) {
    error = document.codec().Encode(e.getMessage());
  } catch (const DOMException& e) {
    error = document.codec().Encode(e.getMessage());
  } catch (const OutOfMemoryException&) {
    error = "out of memory";
  } catch (const std::exception& e) {
    error = std::string("the document could not be serialised: ") + e.what();
  } catch (...) {
    error = "the document could not be serialised: an exception of unknown type";
  }
  return Status::Invalid(error);
}

}  // namespace dezov
