// SPDX-License-Identifier: MIT
#include "XmlDocument.h"

#include <xercesc/dom/DOMException.hpp>
#include <xercesc/framework/MemoryManager.hpp>

#include <new>

#include "../include/XmlIni.h"
#include "../text/TextUtil.h"
#include "XmlLibrary.h"

using namespace xercesc;

namespace dezov {

namespace {

// A parent is indexed once a walk over its children had to look at this many
// nodes: below that, walking is cheaper than building and keeping an index.
constexpr int kIndexAfterVisits = 48;

// The DOM's exceptions leave the store rebuilt on a memory manager that never
// goes away: the DOM allocates an exception's message with the XML library's
// manager, which is gone once the library stops (DeZov20 unloading, or the
// process ending), and a caller catching the exception then would free the
// message into nothing.
class ProcessHeap : public MemoryManager {
 public:
  MemoryManager* getExceptionMemoryManager() override { return this; }
  void* allocate(XMLSize_t size) override { return ::operator new(size); }
  void deallocate(void* block) override { ::operator delete(block); }
};

ProcessHeap& Heap() {
  static ProcessHeap heap;  // trivially destructible in effect: nothing to release
  return heap;
}

// Runs a DOM call; a DOMException it raises leaves as a copy on the heap above.
template <typename Call>
auto WithRelayedDomExceptions(Call call) -> decltype(call()) {
  try {
    return call();
  } catch (const DOMException& error) {
    throw DOMException(error.code, 0, &Heap());
  }
}

}  // namespace

NameQuery::NameQuery(std::string_view gbkName, GbkCodec& codec)
    : gbk_(gbkName), folded_(FoldName(gbkName)), codec_(&codec) {}

bool NameQuery::Matches(const XMLCh* domName) const {
  if (domName == nullptr) return false;
  // Most names are ASCII: decided on the UTF-16 units without converting.
  const AsciiMatch quick = MatchAsciiUnits(domName, gbk_);
  if (quick != AsciiMatch::kUndecided) return quick == AsciiMatch::kEqual;
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

XmlDocument::XmlDocument(DOMDocument* document) : document_(document) {}

XmlDocument::~XmlDocument() { document_->release(); }

void XmlDocument::KeepElementLines(std::vector<std::uint32_t> lines) {
  lines_ = std::move(lines);
  line_of_.clear();
}

int XmlDocument::LineOf(const DOMElement* element) const {
  if (generation_ != 1 || element == nullptr) return 0;
  std::lock_guard<std::mutex> lock(indexes_mutex_);
  if (line_of_.empty()) {
    // The elements in document order are the elements in the order parsed.
    std::size_t next = 0;
    const DOMElement* at = root();
    while (at != nullptr && next < lines_.size()) {
      line_of_.emplace(at, lines_[next++]);
      if (const DOMElement* child = at->getFirstElementChild()) {
        at = child;
        continue;
      }
      while (at != nullptr && at->getNextElementSibling() == nullptr) {
        const DOMNode* parent = at->getParentNode();
        at = parent && parent->getNodeType() == DOMNode::ELEMENT_NODE
                 ? static_cast<const DOMElement*>(parent)
                 : nullptr;
      }
      if (at != nullptr) at = at->getNextElementSibling();
    }
  }
  const auto found = line_of_.find(element);
  return found == line_of_.end() ? 0 : static_cast<int>(found->second);
}

GbkCodec& XmlDocument::codec() const { return ThreadGbkCodec(); }

std::string XmlDocument::FoldedName(const DOMNode* element) const {
  const XMLCh* name = element->getNodeName();
  std::string folded;
  if (!FoldAsciiUnits(name, folded)) folded = FoldName(codec().Encode(name));
  return folded;
}

XmlDocument::ChildIndex XmlDocument::BuildIndex(const DOMNode* parent) const {
  ChildIndex index;
  for (DOMNode* child = parent->getFirstChild(); child; child = child->getNextSibling()) {
    if (child->getNodeType() == DOMNode::ELEMENT_NODE)
      index[FoldedName(child)].push_back(static_cast<DOMElement*>(child));
  }
  return index;
}

DOMElement* XmlDocument::FindChild(const DOMNode* parent, const NameQuery& query,
                                   int index) const {
  if (parent == nullptr || index < 0) return nullptr;
  {
    std::lock_guard<std::mutex> lock(indexes_mutex_);
    auto indexed = indexes_.find(parent);
    if (indexed != indexes_.end()) {
      auto named = indexed->second.find(query.folded());
      if (named == indexed->second.end() ||
          static_cast<std::size_t>(index) >= named->second.size())
        return nullptr;
      return named->second[static_cast<std::size_t>(index)];
    }
  }
  DOMElement* found = nullptr;
  int seen = 0;
  int visited = 0;
  for (DOMNode* child = parent->getFirstChild(); child; child = child->getNextSibling()) {
    ++visited;
    if (IsMatchingElement(child, query) && seen++ == index) {
      found = static_cast<DOMElement*>(child);
      break;
    }
  }
  if (visited >= kIndexAfterVisits) {
    ChildIndex built = BuildIndex(parent);
    std::lock_guard<std::mutex> lock(indexes_mutex_);
    indexes_.emplace(parent, std::move(built));  // another reader may have been first
  }
  return found;
}

void XmlDocument::CheckAttributeName(const Utf16& name) const {
  DOMAttr* probe = WithRelayedDomExceptions([&] { return document_->createAttribute(name.c_str()); });
  probe->release();
}

void XmlDocument::RemoveChild(DOMNode* parent, DOMNode* child) {
  parent->removeChild(child);
  ++generation_;
  changed_ = true;
  std::lock_guard<std::mutex> lock(indexes_mutex_);
  indexes_.erase(parent);  // rebuilt when next needed
}

DOMNode* XmlDocument::WalkPathFrom(DOMNode* parent, const std::vector<std::string>& components,
                                   std::size_t first, std::size_t& resolved) const {
  for (resolved = first; resolved + 1 < components.size(); ++resolved) {
    DOMElement* next = FindChild(parent, NameQuery(components[resolved], codec()), 0);
    if (next == nullptr) break;
    parent = next;
  }
  return parent;
}

DOMElement* XmlDocument::ResolvePath(const std::vector<std::string>& components, int index,
                                     bool create, std::string* why) {
  std::size_t level = 0;
  DOMNode* parent = WalkPathPrefix(components, level);
  if (level + 1 == components.size()) {
    DOMElement* found = FindChild(parent, NameQuery(components.back(), codec()), index);
    if (found != nullptr) return found;
  }
  if (!create || index != 0) {
    if (why != nullptr) *why = create ? "no such element (only index 0 is created)" : "no such element";
    return nullptr;
  }
  return CreatePath(parent, components, level, why);
}

DOMElement* XmlDocument::CreatePath(DOMNode* parent, const std::vector<std::string>& components,
                                    std::size_t from, std::string* why) {
  std::string reason;
  const std::size_t missing = components.size() - from;
  Utf16 unused;
  if (missing == 0) {
    reason = "nothing to create";
  } else if (static_cast<std::size_t>(DepthOf(parent)) + missing >
             static_cast<std::size_t>(kMaxElementDepth)) {
    FormatString(reason, "it would nest elements deeper than %d levels", kMaxElementDepth);
  } else {
    for (std::size_t i = from; i < components.size() && reason.empty(); ++i)
      if (!codec().DecodeExact(components[i], unused))
        reason = "the element name " + components[i] + " is not gb2312 text";
  }
  if (!reason.empty()) {
    if (why != nullptr) *why = std::move(reason);
    return nullptr;
  }
  // Every element is made before any is placed: a name the DOM refuses leaves
  // the document as it was.
  std::vector<DOMElement*> made;
  for (std::size_t i = from; i < components.size(); ++i) {
    const Utf16 name = codec().Decode(components[i]);
    made.push_back(WithRelayedDomExceptions([&] { return document_->createElement(name.c_str()); }));
  }
  for (DOMElement* element : made) {
    parent->appendChild(element);
    ++generation_;
    changed_ = true;
    std::lock_guard<std::mutex> lock(indexes_mutex_);
    auto indexed = indexes_.find(parent);
    if (indexed != indexes_.end()) indexed->second[FoldedName(element)].push_back(element);
    parent = element;
  }
  return static_cast<DOMElement*>(parent);
}

int XmlDocument::DepthOf(const DOMNode* element) {
  int depth = 0;
  for (const DOMNode* node = element; node && node->getNodeType() == DOMNode::ELEMENT_NODE;
       node = node->getParentNode())
    ++depth;
  return depth;
}

void XmlDocument::KeepSource(std::string fileName, std::string bytes) {
  source_name_ = std::move(fileName);
  source_ = std::move(bytes);
}

bool XmlDocument::IsUnchangedParseOf(const std::string& fileName, std::string_view bytes) const {
  return !changed_ && !source_name_.empty() && source_name_ == fileName && source_ == bytes;
}

void XmlDocument::SetAttribute(DOMElement* element, const Utf16& name, const Utf16& value) {
  changed_ = true;
  WithRelayedDomExceptions([&] { element->setAttribute(name.c_str(), value.c_str()); });
}

void XmlDocument::RemoveAttribute(DOMElement* element, DOMAttr* attribute) {
  changed_ = true;
  element->removeAttributeNode(attribute)->release();
}

bool HasConfigurationRoot(XmlDocument& document) {
  return NameQuery("vornini", document.codec()).Matches(document.root()->getNodeName());
}

int XmlElementLines::LineOf(CXmlIni& store, const char* path) {
  const std::vector<std::string> components = PathComponents(path);
  if (store.pXMLDoc == nullptr || components.empty()) return 0;
  return store.pXMLDoc->LineOf(store.pXMLDoc->ResolvePath(components, 0, false));
}

}  // namespace dezov
