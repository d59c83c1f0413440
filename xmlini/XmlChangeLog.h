// The changes made to a document since it was read from its file or last
// written to it, in order, as the operations that made them. A save that
// finds the file changed by someone else reads it again and applies these on
// top, so that the other writer's changes survive and this store's win where
// both touched the same key or attribute.
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

namespace dezov {

class XmlDocument;

// Where an element stands: per level below the root its name and its number
// among the same-named siblings before it (names matched as the store does);
// empty for the root itself.
using ElementPosition = std::vector<std::pair<std::string, int>>;

class XmlChangeLog {
 public:
  enum class Kind {
    kSetAttribute,     // path, index, name, value (creates the element for index 0)
    kRemoveElements,   // path: every element matching its last component
    kRemoveAttribute,  // path, index, name ("" removes all)
    kClearAttributes,  // path (first element)
    kAppend,           // path; appendId names the new element for later sets
    kSetOnElement,     // name, value on the appended element appendId, or at position
  };

  struct Change {
    Kind kind = Kind::kSetAttribute;
    std::string path;
    std::string name;
    std::string value;
    int index = 0;
    std::uint64_t appendId = 0;
    ElementPosition position;
  };

  void SetAttribute(const char* path, const char* name, const char* value, int index);
  void RemoveElements(const char* path);
  void RemoveAttribute(const char* path, const char* name, int index);
  void ClearAttributes(const char* path);
  void Append(const char* path, const xercesc::DOMElement* created);
  // An attribute set on element directly (the record cursor's Set).
  void SetOnElement(const XmlDocument& document, const xercesc::DOMElement* element,
                    const char* name, const char* value);

  const std::vector<Change>& changes() const { return changes_; }
  // Forgets every change: the document and its file agree again.
  void Clear();

 private:
  std::vector<Change> changes_;
  // Elements made by a logged Append, so that sets on them follow the new
  // element wherever a merge puts it.
  std::unordered_map<const xercesc::DOMElement*, std::uint64_t> appended_;
  std::uint64_t next_append_id_ = 1;
};

// The position of element in document; false when it is not in the tree.
bool PositionOf(const XmlDocument& document, const xercesc::DOMElement* element,
                ElementPosition& position);

// The element at position in document, or null.
xercesc::DOMElement* ElementAt(const XmlDocument& document, const ElementPosition& position);

}  // namespace dezov

#endif  // DEZOV20_XMLINI_XML_CHANGE_LOG_H
