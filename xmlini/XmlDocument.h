// SPDX-License-Identifier: MIT
// One parsed configuration document and the element operations every part of
// the XML store shares: matching names the way the store defines them, finding
// and creating child elements and element paths, reading attributes, a counter
// of changes, and the lines on which its elements stood in the parsed text.
//
// Names match when the element's name in GBK equals the wanted name ignoring
// the case of A-Z, with equal lengths. Every change of the document (elements
// and attributes) goes through this class so that the change counter, the
// changed mark and any lookup state kept for speed stay exact. Reads may run
// on several threads at once (the lookup state is guarded); changes need the
// document to themselves.
#ifndef DEZOV20_XMLINI_XML_DOCUMENT_H
#define DEZOV20_XMLINI_XML_DOCUMENT_H

#include <xercesc/dom/DOM.hpp>

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "../platform/FileStamp.h"
#include "../text/TextUtil.h"
#include "GbkCodec.h"
#include "XmlChangeLog.h"

class CXmlIni;

namespace dezov {

// Deepest element level a document may have (the root is level 1). Deeper
// documents are refused on open and deeper elements are never created, so
// that nothing recursing over the tree can exhaust the stack.
constexpr int kMaxElementDepth = 1000;

// A wanted element or attribute name, prepared once for many comparisons.
class NameQuery {
 public:
  NameQuery(std::string_view gbkName, GbkCodec& codec);
  // True when the DOM name (UTF-16) matches the wanted name.
  bool Matches(const XMLCh* domName) const;
  // The name with A-Z folded: the key under which a child index files it.
  const std::string& folded() const { return folded_; }

 private:
  std::string gbk_;
  std::string folded_;
  GbkCodec* codec_;
};

// True when node is an element whose name matches query.
bool IsMatchingElement(const xercesc::DOMNode* node, const NameQuery& query);

// The first attribute of element whose name matches query, or null.
xercesc::DOMAttr* FindAttribute(const xercesc::DOMElement* element, const NameQuery& query);

// The components of an element path: every backslash ends one; a non-empty
// rest is the last.
inline std::vector<std::string> PathComponents(const char* path) {
  std::vector<std::string> components;
  SplitString(OrEmpty(path), '\\', components);
  return components;
}

class XmlDocument;

// True when the document's root element is the configuration root "vornini"
// (any case).
bool HasConfigurationRoot(XmlDocument& document);

class XmlDocument {
 public:
  // Takes ownership of document.
  explicit XmlDocument(xercesc::DOMDocument* document);
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;
  ~XmlDocument();

  xercesc::DOMDocument* dom() const { return document_; }
  xercesc::DOMElement* root() const { return document_->getDocumentElement(); }
  // The calling thread's converter (converters are never shared by threads).
  GbkCodec& codec() const;
  // Changes whenever an element is added or removed.
  std::uint64_t generation() const { return generation_; }
  // The changes made since the document and its file last agreed.
  XmlChangeLog& changes() { return changes_; }
  // The file as it was when the document last agreed with it.
  platform::FileStamp& fileStamp() { return file_stamp_; }

  // The index-th (from 0) element child of parent matching query, or null.
  xercesc::DOMElement* FindChild(const xercesc::DOMNode* parent, const NameQuery& query,
                                 int index) const;
  // Throws the DOM's exception when it would refuse name as an attribute's
  // name. Like every exception of the DOM this class lets out, its message
  // outlives the XML library, so callers may catch it after the library stopped.
  void CheckAttributeName(const Utf16& name) const;
  // Takes child out of parent.
  void RemoveChild(xercesc::DOMNode* parent, xercesc::DOMNode* child);
  // Sets an attribute (exact-case name). Throws the DOM's exception for a name
  // it refuses.
  void SetAttribute(xercesc::DOMElement* element, const Utf16& name, const Utf16& value);
  // Takes attribute off element.
  void RemoveAttribute(xercesc::DOMElement* element, xercesc::DOMAttr* attribute);

  // Keeps the name and bytes of the file the document was parsed from.
  void KeepSource(std::string fileName, std::string bytes);
  // True when the document was parsed from bytes of fileName and nothing in
  // it has changed since: parsing them again would give the same document.
  bool IsUnchangedParseOf(const std::string& fileName, std::string_view bytes) const;
  // True once anything in the document was changed.
  bool changed() const { return changed_; }
  // The size of the bytes it was parsed from (0 when it was not parsed).
  std::size_t SourceSize() const { return source_.size(); }

  // Level of element below the document (the root is 1).
  static int DepthOf(const xercesc::DOMNode* element);

  // Walks the components of a path except the last from the root, taking the
  // first match at each level (no backtracking). Returns the deepest element
  // reached; resolved tells how many components it took.
  xercesc::DOMNode* WalkPathPrefix(const std::vector<std::string>& components,
                                   std::size_t& resolved) const {
    return WalkPathFrom(root(), components, 0, resolved);
  }
  // As WalkPathPrefix, from parent and components[first] on; resolved tells
  // the index of the first component not taken.
  xercesc::DOMNode* WalkPathFrom(xercesc::DOMNode* parent,
                                 const std::vector<std::string>& components, std::size_t first,
                                 std::size_t& resolved) const;
  // The index-th element at the path given by components (at least one) below
  // the root: each earlier component takes its first match (no backtracking);
  // for index 0 and create, missing elements are made. Null when absent, with
  // why (when given) telling what kept it from being made.
  xercesc::DOMElement* ResolvePath(const std::vector<std::string>& components, int index,
                                   bool create, std::string* why = nullptr);
  // Creates components[from..] below parent, each inside the one before, and
  // returns the last; null (nothing created, the reason in why when given)
  // when that would nest deeper than kMaxElementDepth or a name is not exact
  // GBK (it could never be found again). Throws the DOM's exception, nothing
  // created, for a name the DOM refuses.
  xercesc::DOMElement* CreatePath(xercesc::DOMNode* parent,
                                  const std::vector<std::string>& components, std::size_t from,
                                  std::string* why = nullptr);

  // Keeps the line of each element in document order, as parsed.
  void KeepElementLines(std::vector<std::uint32_t> lines);
  // The line of the parsed text on which element starts; 0 when it was not
  // parsed, or when elements were added or removed since.
  int LineOf(const xercesc::DOMElement* element) const;

 private:
  xercesc::DOMDocument* document_;  // owned: released with this object
  // The element children of one parent, grouped by folded name in document
  // order, so that lookups among many children need not walk them all.
  using ChildIndex = std::unordered_map<std::string, std::vector<xercesc::DOMElement*>>;
  ChildIndex BuildIndex(const xercesc::DOMNode* parent) const;
  std::string FoldedName(const xercesc::DOMNode* element) const;

  std::uint64_t generation_ = 1;
  std::vector<std::uint32_t> lines_;  // KeepElementLines; valid in generation 1
  mutable std::unordered_map<const xercesc::DOMElement*, std::uint32_t> line_of_;  // built when asked
  // Readers on several threads build indexes (and line_of_) at once.
  mutable std::mutex indexes_mutex_;
  XmlChangeLog changes_;
  platform::FileStamp file_stamp_;
  bool changed_ = false;  // set by every change made through this class
  std::string source_name_;
  std::string source_;
  mutable std::unordered_map<const xercesc::DOMNode*, ChildIndex> indexes_;
};

// Where the elements of a store's document stood in the file it read, for
// messages that point into the file.
class XmlElementLines {
 public:
  // The line of the store's file (or buffer) on which the first element at
  // path (names matched as every store operation matches them) starts; 0 when
  // there is no such element, or elements were added or removed since it was
  // read.
  static int LineOf(CXmlIni& store, const char* path);
};

}  // namespace dezov

#endif  // DEZOV20_XMLINI_XML_DOCUMENT_H
