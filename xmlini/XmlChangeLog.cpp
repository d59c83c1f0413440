#include "XmlChangeLog.h"

#include <algorithm>

#include "../text/TextUtil.h"
#include "XmlDocument.h"

using namespace xercesc;

namespace dezov {
namespace {

XmlChangeLog::Change MakeChange(XmlChangeLog::Kind kind, const char* path, const char* name = "",
                                const char* value = "", int index = 0) {
  XmlChangeLog::Change change;
  change.kind = kind;
  change.path = OrEmpty(path);
  change.name = OrEmpty(name);
  change.value = OrEmpty(value);
  change.index = index;
  return change;
}

}  // namespace

void XmlChangeLog::SetAttribute(const char* path, const char* name, const char* value,
                                int index) {
  // A key set over and over between saves keeps one entry.
  if (!changes_.empty()) {
    Change& last = changes_.back();
    if (last.kind == Kind::kSetAttribute && last.index == index && last.path == OrEmpty(path) &&
        last.name == OrEmpty(name)) {
      last.value = OrEmpty(value);
      return;
    }
  }
  changes_.push_back(MakeChange(Kind::kSetAttribute, path, name, value, index));
}

void XmlChangeLog::RemoveElements(const char* path) {
  changes_.push_back(MakeChange(Kind::kRemoveElements, path));
}

void XmlChangeLog::RemoveAttribute(const char* path, const char* name, int index) {
  changes_.push_back(MakeChange(Kind::kRemoveAttribute, path, name, "", index));
}

void XmlChangeLog::ClearAttributes(const char* path) {
  changes_.push_back(MakeChange(Kind::kClearAttributes, path));
}

void XmlChangeLog::Append(const char* path, const DOMElement* created) {
  Change change = MakeChange(Kind::kAppend, path);
  change.appendId = next_append_id_++;
  appended_[created] = change.appendId;
  changes_.push_back(std::move(change));
}

void XmlChangeLog::SetOnElement(const XmlDocument& document, const DOMElement* element,
                                const char* name, const char* value) {
  Change change = MakeChange(Kind::kSetOnElement, "", name, value);
  const auto appended = appended_.find(element);
  if (appended != appended_.end())
    change.appendId = appended->second;
  else if (!PositionOf(document, element, change.position))
    return;  // taken out of the document: nothing of it reaches the file
  changes_.push_back(std::move(change));
}

void XmlChangeLog::Clear() {
  changes_.clear();
  appended_.clear();
}

bool PositionOf(const XmlDocument& document, const DOMElement* element,
                ElementPosition& position) {
  position.clear();
  const DOMNode* root = document.root();
  const DOMNode* node = element;
  for (; node != nullptr && node != root; node = node->getParentNode()) {
    if (node->getNodeType() != DOMNode::ELEMENT_NODE) return false;
    std::string name = document.codec().Encode(node->getNodeName());
    const NameQuery query(name, document.codec());
    int before = 0;
    for (const DOMNode* sibling = node->getPreviousSibling(); sibling;
         sibling = sibling->getPreviousSibling())
      if (IsMatchingElement(sibling, query)) ++before;
    position.emplace_back(std::move(name), before);
  }
  std::reverse(position.begin(), position.end());
  return node == root;
}

DOMElement* ElementAt(const XmlDocument& document, const ElementPosition& position) {
  DOMNode* node = document.root();
  for (const auto& step : position) {
    node = document.FindChild(node, NameQuery(step.first, document.codec()), step.second);
    if (node == nullptr) return nullptr;
  }
  return static_cast<DOMElement*>(node);
}

}  // namespace dezov
