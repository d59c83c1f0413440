// Writing the document back: serialised whole into memory first, then put in
// place of the file atomically, so that a failure never costs the old file.
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "../include/XmlIni.h"
#include "../platform/Platform.h"
#include "../text/TextUtil.h"
#include "XmlDocument.h"

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

// Serialises document into bytes; false with a message on any failure.
bool SerialiseDocument(dezov::XmlDocument& document, std::string& bytes, std::string& error) {
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
  MemBufFormatTarget target;
  output->setByteStream(&target);
  output->setEncoding(u"gb2312");
  const bool written = serializer->write(document.dom(), output.get());
  if (!written || !errors.message().empty()) {
    error = errors.message().empty() ? "the document could not be serialised" : errors.message();
    return false;
  }
  bytes.assign(reinterpret_cast<const char*>(target.getRawBuffer()), target.getLen());
  return true;
}

}  // namespace

bool CXmlIni::WriteFile() {
  strLastErrMsg.clear();
  if (pXMLDoc == nullptr) {
    strLastErrMsg = "WriteFile Fail ( pXMLDoc = NULL )";
    return false;
  }
  std::string bytes;
  std::string error;
  try {
    if (!SerialiseDocument(*pXMLDoc, bytes, error)) {
      dezov::FormatString(strLastErrMsg, "WriteFile Fail ( %s )", error.c_str());
      return false;
    }
  } catch (const XMLException& e) {
    strLastErrMsg = "WriteFile Fail ( " + pXMLDoc->codec().Encode(e.getMessage()) + " )";
    return false;
  } catch (const DOMException& e) {
    strLastErrMsg = "WriteFile Fail ( " + pXMLDoc->codec().Encode(e.getMessage()) + " )";
    return false;
  } catch (const OutOfMemoryException&) {
    strLastErrMsg = "WriteFile Fail ( out of memory )";
    return false;
  } catch (...) {
    strLastErrMsg = "WriteFile Fail ( the document could not be serialised )";
    return false;
  }
  if (!dezov::platform::ReplaceFileContents(strFileName, bytes, error)) {
    dezov::FormatString(strLastErrMsg, "WriteFile Fail ( %s )", error.c_str());
    return false;
  }
  return true;
}
