// SPDX-License-Identifier: MIT
// The changes made to a document since it was read from its file or last
// written to it, in order, as the operations that made them. A save that
// finds the file changed by someone else reads it again and applies these on
// top, so that the other writer's changes survive.
//
// Two kinds of change are logged. Changes addressed by path at index 0 (a
// key's value, an attribute, removals by name) mean "the first element at
// this path" and are applied again that way: they create what is missing, and
// the store's value wins where both changed the same key or attribute.
// Changes made on one particular element (a value or attribute by an index
// above 0, an attribute removed by such an index, the record cursor's Set,
// the element Append adds to) are applied to that same element, found again
// in the file's new content by what it held when the change was made (see
// ElementStep); when it is gone or cannot be told apart from others, the save
// fails with a conflict instead of writing onto another element.
//
// The log belongs to the document: copies of a store share both.
#ifndef DEZOV20_XMLINI_XML_CHANGE_LOG_H
#define DEZOV20_XMLINI_XML_CHANGE_LOG_H

#include <xercesc/dom/DOMElement.hpp>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "GbkCodec.h"

namespace dezov {

class XmlDocument;

// An element's attributes as (name, value) pairs sorted by name: exact names
// and values, in any order in the document.
using AttributeSet = std::vector<std::pair<Utf16, Utf16>>;

// One level of an element's identity: the element as it was when a change
// was made on it, among its siblings of the same name (names matched as the
// store matches them). Its content is a hash of everything below it (child
// elements, their attributes and text). In the parent's new content it is
// the sibling that
//   - alone holds exactly these attributes, where it alone held them then;
//   - is the only one of the name, where it was the only one then;
//   - where others held the same attributes then (its twins): alone holds
//     them with its content, where no twin had the same content then; or
//     stands at index, where as many same-named siblings as then hold the
//     attributes at the same places, and what stands there now does not hold
//     what another twin held.
// Anything else is a conflict: no such sibling (gone, or changed on disk), or
// several that cannot be told apart.
struct ElementStep {
  std::string name;             // GBK, as the document writes it
  AttributeSet attributes;
  int index = 0;                // among the same-named siblings
  int count = 1;                // same-named siblings, itself included
  std::vector<int> twins;       // indexes of those holding the same attributes, if several
  std::vector<std::uint64_t> twinContents;  // the content of each twin, in that order
  std::uint64_t content = 0;    // with twins: its own content
};

// An element as found again: from an element an earlier logged Append made
// (anchor, its id) or from the root (anchor 0), one step per level down.
struct ElementRef {
  std::uint64_t anchor = 0;
  std::vector<ElementStep> steps;  // empty: the anchor itself
  std::string where;               // its path for messages, "S\K[1]"
};

class XmlChangeLog {
 public:
  enum class Kind {
    kSetAttribute,     // path, name, value: first element at path, made when missing
    kRemoveAttribute,  // path, name ("" removes all): first element at path
    kClearAttributes,  // path: first element
    kRemoveElements,   // path: every element matching its last component
    kSetOnElement,     // target, name, value
    kRemoveOnElement,  // target, name ("" removes all)
    kAppend,           // target (deepest element of path that existed), path, level; appendId
  };

  struct Change {
    Kind kind = Kind::kSetAttribute;
    std::string path;
    std::string name;
    std::string value;
    ElementRef target;
    std::size_t level = 0;                           // kAppend: components target took
    std::uint64_t appendId = 0;                      // kAppend: names the new element
    const xercesc::DOMElement* element = nullptr;    // the element changed, for repeats
  };

  // ---- Changes by path (first matches) ----
  void SetAttribute(const char* path, const char* name, const char* value);
  void RemoveAttribute(const char* path, const char* name);
  void ClearAttributes(const char* path);
  void RemoveElements(const char* path);

  // ---- Changes on one element ----
  // Describes element as it is now, before a change on it; false when it is
  // not in document (then nothing of a change to it can reach the file).
  bool Describe(const XmlDocument& document, const xercesc::DOMElement* element,
                ElementRef& ref) const;
  // True when the last change logged set name on element: SetOnElement then
  // only updates its value, and element need not be described again.
  bool RepeatsLastSet(const xercesc::DOMElement* element, const char* name) const;
  void SetOnElement(ElementRef target, const xercesc::DOMElement* element, const char* name,
                    const char* value);
  void RemoveOnElement(ElementRef target, const char* name);
  // created was appended below parent (described before), level components of
  // path being the ones that existed.
  void Append(ElementRef parent, const char* path, std::size_t level,
              const xercesc::DOMElement* created);

  const std::vector<Change>& changes() const { return changes_; }
  // Forgets every change: the document and its file agree again.
  void Clear();

 private:
  std::vector<Change> changes_;
  // Elements made by a logged Append, so that changes on them and below them
  // follow the new element wherever a merge puts it.
  std::unordered_map<const xercesc::DOMElement*, std::uint64_t> appended_;
  std::uint64_t next_append_id_ = 1;
};

// Elements an Append made while a log is applied, by the id the log gave it.
using AppendedElements = std::unordered_map<std::uint64_t, xercesc::DOMElement*>;

// The element ref names in document, or null with the conflict in reason.
xercesc::DOMElement* FindDescribed(const XmlDocument& document, const ElementRef& ref,
                                   const AppendedElements& appended, std::string& reason);

}  // namespace dezov

#endif  // DEZOV20_XMLINI_XML_CHANGE_LOG_H
