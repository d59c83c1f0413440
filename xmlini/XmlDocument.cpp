#include "XmlDocument.h"

#include "../text/TextUtil.h"

using namespace xercesc;

namespace dezov {

NameQuery::NameQuery(std::string_view gbkName, GbkCodec& codec)
    : gbk_(gbkName), ascii_(IsAscii(gbkName)), codec_(&codec) {}

bool NameQuery::Matches(const XMLCh* domName) const {
  if (domName == nullptr) return false;
  if (ascii_) {
    // An ASCII name can only equal a DOM name made of the same ASCII letters,
    // so compare the UTF-16 units directly without converting anything.
    std::size_t i = 0;
    for (; i < gbk_.size(); ++i) {
      const XMLCh c = domName[i];
      if (c == 0 || c >= 0x80) return false;
      if (FoldAscii(static_cast<unsigned char>(c)) !=
          FoldAscii(static_cast<unsigned char>(gbk_[i])))
        return false;
    }
    return domName[i] == 0;
  }
  return NamesEqual(codec_->Encode(domName), gbk_);
}

bool IsMatchingElement(const DOMNode* node, const NameQuery& query) {
  return node->getNodeType() == DOMNode::ELEMENT_NODE && query.Matches(node->getNodeName());
}

DOMAttr* FindAttribute(const DOMElement* element, const NameQuery& query) {
  const DOMNamedNodeMap* attributes = element ? element->getAttributes() : nullptr;
  if (attributes == nullptr) return nullptr;
  const XMLSize_t count = attributes->getLength();
  for (XMLSize_t i = 0; i < count; ++i) {
    DOMNode* attribute = attributes->item(i);
    if (attribute != nullptr && query.Matches(attribute->getNodeName()))
      return static_cast<DOMAttr*>(attribute);
  }
  return nullptr;
}

XmlDocument::XmlDocument(DOMDocument* document, GbkCodec& codec)
    : document_(document), codec_(&codec) {}

XmlDocument::~XmlDocument() { document_->release(); }

DOMElement* XmlDocument::FindChild(const DOMNode* parent, const NameQuery& query,
                                   int index) const {
  if (parent == nullptr || index < 0) return nullptr;
  int seen = 0;
  for (DOMNode* child = parent->getFirstChild(); child; child = child->getNextSibling()) {
    if (IsMatchingElement(child, query) && seen++ == index) return static_cast<DOMElement*>(child);
  }
  return nullptr;
}

DOMElement* XmlDocument::AppendElement(DOMNode* parent, std::string_view gbkName) {
  const Utf16 name = codec_->Decode(gbkName);
  DOMElement* element = document_->createElement(name.c_str());
  parent->appendChild(element);
  ++generation_;
  return element;
}

void XmlDocument::RemoveChild(DOMNode* parent, DOMNode* child) {
  parent->removeChild(child);
  ++generation_;
}

int XmlDocument::DepthOf(const DOMNode* element) {
  int depth = 0;
  for (const DOMNode* node = element; node && node->getNodeType() == DOMNode::ELEMENT_NODE;
       node = node->getParentNode())
    ++depth;
  return depth;
}

long XmlDocument::HandleOf(DOMElement* element) {
  auto found = handles_.find(element);
  if (found != handles_.end()) return found->second;
  handed_out_.push_back(element);
  const long handle = static_cast<long>(handed_out_.size());
  handles_.emplace(element, handle);
  return handle;
}

DOMElement* XmlDocument::ElementOf(long handle) const {
  if (handle <= 0 || static_cast<unsigned long>(handle) > handed_out_.size()) return nullptr;
  return handed_out_[static_cast<std::size_t>(handle - 1)];
}

}  // namespace dezov
