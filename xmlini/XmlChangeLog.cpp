// SPDX-License-Identifier: MIT
#include "XmlChangeLog.h"

#include <algorithm>

#include "../text/TextUtil.h"
#include "XmlDocument.h"

using namespace xercesc;

namespace dezov {
namespace {

XmlChangeLog::Change MakeChange(XmlChangeLog::Kind kind, const char* path, const char* name = "",
                                const char* value = "") {
  XmlChangeLog::Change change;
  change.kind = kind;
  change.path = OrEmpty(path);
  change.name = OrEmpty(name);
  change.value = OrEmpty(value);
  return change;
}

AttributeSet AttributesOf(const DOMElement* element) {
  AttributeSet attributes;
  const DOMNamedNodeMap* map = element->getAttributes();
  const XMLSize_t count = map ? map->getLength() : 0;
  for (XMLSize_t i = 0; i < count; ++i) {
    const DOMNode* attribute = map->item(i);
    const XMLCh* name = attribute->getNodeName();
    const XMLCh* value = attribute->getNodeValue();
    attributes.emplace_back(Utf16(name ? name : u""), Utf16(value ? value : u""));
  }
  std::sort(attributes.begin(), attributes.end());
  return attributes;
}

// True when element holds exactly attributes, no more and no fewer.
bool Holds(const DOMElement* element, const AttributeSet& attributes) {
  const DOMNamedNodeMap* map = element->getAttributes();
  const XMLSize_t count = map ? map->getLength() : 0;
  if (count != attributes.size()) return false;
  for (XMLSize_t i = 0; i < count; ++i) {
    const DOMNode* attribute = map->item(i);
    const XMLCh* name = attribute->getNodeName();
    const auto found = std::lower_bound(
        attributes.begin(), attributes.end(), name,
        [](const std::pair<Utf16, Utf16>& entry, const XMLCh* wanted) {
          return entry.first.compare(wanted) < 0;
        });
    if (found == attributes.end() || found->first != name) return false;
    const XMLCh* value = attribute->getNodeValue();
    if (found->second != (value ? value : u"")) return false;
  }
  return true;
}

// The element children of parent matching query, in document order.
std::vector<DOMElement*> NamedChildren(const DOMNode* parent, const NameQuery& query) {
  std::vector<DOMElement*> children;
  for (DOMNode* child = parent->getFirstChild(); child; child = child->getNextSibling())
    if (IsMatchingElement(child, query)) children.push_back(static_cast<DOMElement*>(child));
  return children;
}

// A hash of everything below element: child elements with their names and
// attributes, and text, in document order (FNV-1a over UTF-16 units).
std::uint64_t ContentHash(const DOMElement* element) {
  std::uint64_t hash = 14695981039346656037ull;
  const auto add = [&hash](const XMLCh* text) {
    for (; text != nullptr && *text != 0; ++text) hash = (hash ^ *text) * 1099511628211ull;
    hash = (hash ^ 0xFFFFu) * 1099511628211ull;  // ends every piece
  };
  const DOMNode* node = element->getFirstChild();
  while (node != nullptr) {
    const bool isElement = node->getNodeType() == DOMNode::ELEMENT_NODE;
    if (isElement) {
      add(u"<");
      add(node->getNodeName());
      for (const auto& attribute : AttributesOf(static_cast<const DOMElement*>(node))) {
        add(attribute.first.c_str());
        add(attribute.second.c_str());
      }
      if (node->getFirstChild() != nullptr) {
        node = node->getFirstChild();
        continue;
      }
      add(u">");
    } else if (node->getNodeType() == DOMNode::TEXT_NODE ||
               node->getNodeType() == DOMNode::CDATA_SECTION_NODE) {
      add(node->getNodeValue());
    }
    // On to the next node, closing each element climbed out of.
    while (node->getNextSibling() == nullptr) {
      node = node->getParentNode();
      if (node == element) return hash;
      add(u">");
    }
    node = node->getNextSibling();
  }
  return hash;
}

// One level of element's identity; see ElementStep.
ElementStep StepOf(const XmlDocument& document, const DOMElement* element) {
  ElementStep step;
  step.name = document.codec().Encode(element->getNodeName());
  step.attributes = AttributesOf(element);
  const std::vector<DOMElement*> siblings =
      NamedChildren(element->getParentNode(), NameQuery(step.name, document.codec()));
  step.count = static_cast<int>(siblings.size());
  for (std::size_t i = 0; i < siblings.size(); ++i) {
    if (siblings[i] == element) step.index = static_cast<int>(i);
    if (Holds(siblings[i], step.attributes)) step.twins.push_back(static_cast<int>(i));
  }
  if (step.twins.size() == 1) {
    step.twins.clear();
  } else {
    for (int twin : step.twins)
      step.twinContents.push_back(ContentHash(siblings[static_cast<std::size_t>(twin)]));
    step.content = ContentHash(element);
  }
  return step;
}

// The child of parent that step names, or null with the conflict in reason.
DOMElement* FindStep(const XmlDocument& document, const DOMNode* parent, const ElementStep& step,
                     std::string& reason) {
  const std::vector<DOMElement*> children =
      NamedChildren(parent, NameQuery(step.name, document.codec()));
  std::vector<int> holders;
  for (std::size_t i = 0; i < children.size(); ++i)
    if (Holds(children[i], step.attributes)) holders.push_back(static_cast<int>(i));
  if (step.twins.empty() && holders.size() == 1) return children[holders.front()];
  if (step.count == 1 && children.size() == 1) return children.front();
  if (!step.twins.empty()) {
    const auto& contents = step.twinContents;
    if (std::count(contents.begin(), contents.end(), step.content) == 1) {
      DOMElement* same = nullptr;
      int found = 0;
      for (int holder : holders) {
        DOMElement* candidate = children[static_cast<std::size_t>(holder)];
        if (ContentHash(candidate) == step.content && found++ == 0) same = candidate;
      }
      if (found == 1) return same;
    }
    if (holders == step.twins && children.size() == static_cast<std::size_t>(step.count)) {
      DOMElement* at = children[static_cast<std::size_t>(step.index)];
      const std::uint64_t now = ContentHash(at);
      if (now == step.content || std::count(contents.begin(), contents.end(), now) == 0) return at;
    }
  }
  if (holders.empty())
    reason = "no element " + step.name + " there holds what it held when it was read";
  else
    reason = std::to_string(holders.size()) + " elements " + step.name +
             " there hold what it held when it was read, so which one is meant is unclear";
  return nullptr;
}

}  // namespace

void XmlChangeLog::SetAttribute(const char* path, const char* name, const char* value) {
  // A key set over and over between saves keeps one entry.
  if (!changes_.empty()) {
    Change& last = changes_.back();
    if (last.kind == Kind::kSetAttribute && last.path == OrEmpty(path) &&
        last.name == OrEmpty(name)) {
      last.value = OrEmpty(value);
      return;
    }
  }
  changes_.push_back(MakeChange(Kind::kSetAttribute, path, name, value));
}

void XmlChangeLog::RemoveAttribute(const char* path, const char* name) {
  changes_.push_back(MakeChange(Kind::kRemoveAttribute, path, name));
}

void XmlChangeLog::ClearAttributes(const char* path) {
  changes_.push_back(MakeChange(Kind::kClearAttributes, path));
}

void XmlChangeLog::RemoveElements(const char* path) {
  changes_.push_back(MakeChange(Kind::kRemoveElements, path));
}

bool XmlChangeLog::Describe(const XmlDocument& document, const DOMElement* element,
                            ElementRef& ref) const {
  ref = ElementRef();
  const DOMNode* root = document.root();
  std::vector<const DOMElement*> chain;  // element and the elements above it, up to the root
  const DOMNode* node = element;
  for (; node != nullptr && node != root; node = node->getParentNode()) {
    if (node->getNodeType() != DOMNode::ELEMENT_NODE) return false;
    chain.push_back(static_cast<const DOMElement*>(node));
  }
  if (node != root) return false;  // taken out of the document
  // The nearest of them that a logged Append made anchors the description.
  std::size_t described = chain.size();
  for (std::size_t i = 0; i < chain.size(); ++i) {
    const auto appended = appended_.find(chain[i]);
    if (appended == appended_.end()) continue;
    ref.anchor = appended->second;
    described = i;
    break;
  }
  for (std::size_t i = described; i-- > 0;) ref.steps.push_back(StepOf(document, chain[i]));
  // Its path from the root, with the index of each described level above 0.
  for (std::size_t i = chain.size(); i-- > 0;) {
    if (!ref.where.empty()) ref.where += '\\';
    if (i >= described) {
      ref.where += document.codec().Encode(chain[i]->getNodeName());
      continue;
    }
    const ElementStep& step = ref.steps[described - 1 - i];
    ref.where += step.name;
    if (step.index > 0) ref.where += "[" + std::to_string(step.index) + "]";
  }
  return true;
}

bool XmlChangeLog::RepeatsLastSet(const DOMElement* element, const char* name) const {
  return !changes_.empty() && changes_.back().kind == Kind::kSetOnElement &&
         changes_.back().element == element && changes_.back().name == OrEmpty(name);
}

void XmlChangeLog::SetOnElement(ElementRef target, const DOMElement* element, const char* name,
                                const char* value) {
  if (RepeatsLastSet(element, name)) {
    changes_.back().value = OrEmpty(value);
    return;
  }
  Change change = MakeChange(Kind::kSetOnElement, "", name, value);
  change.target = std::move(target);
  change.element = element;
  changes_.push_back(std::move(change));
}

void XmlChangeLog::RemoveOnElement(ElementRef target, const char* name) {
  Change change = MakeChange(Kind::kRemoveOnElement, "", name);
  change.target = std::move(target);
  changes_.push_back(std::move(change));
}

void XmlChangeLog::Append(ElementRef parent, const char* path, std::size_t level,
                          const DOMElement* created) {
  Change change = MakeChange(Kind::kAppend, path);
  change.target = std::move(parent);
  change.level = level;
  change.appendId = next_append_id_++;
  appended_[created] = change.appendId;
  changes_.push_back(std::move(change));
}

void XmlChangeLog::Clear() {
  changes_.clear();
  appended_.clear();
}

DOMElement* FindDescribed(const XmlDocument& document, const ElementRef& ref,
                          const AppendedElements& appended, std::string& reason) {
  DOMElement* at = document.root();
  if (ref.anchor != 0) {
    const auto found = appended.find(ref.anchor);
    at = found == appended.end() ? nullptr : found->second;
    if (at == nullptr) {
      reason = "the element it was added to is gone";
      return nullptr;
    }
  }
  for (const ElementStep& step : ref.steps) {
    at = FindStep(document, at, step, reason);
    if (at == nullptr) return nullptr;
  }
  return at;
}

}  // namespace dezov
