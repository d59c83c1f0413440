// SPDX-License-Identifier: MIT
#include "XmlTree.h"

#include <utility>

#include "StoreNames.h"
#include "XmlIni.h"

namespace dezov {
namespace tool {
namespace {

constexpr int kMaxDepth = 64;  // deeper levels are cut

std::vector<XmlTreeNode> ReadLevel(CXmlIni& store, const std::string& path, int depth,
                                   bool& cut) {
  std::vector<std::string> names;
  if (path.empty())
    store.GetSections(names);
  else
    store.GetKeysInSection(path.c_str(), names);
  std::vector<XmlTreeNode> nodes;
  if (!names.empty() && depth >= kMaxDepth) {
    cut = true;
    return nodes;
  }
  // Each name met so far (by the store's name rule) with its count of elements.
  std::vector<std::pair<std::string, int>> seen;
  for (const auto& name : names) {
    auto counted = seen.begin();
    while (counted != seen.end() && !SameName(counted->first, name)) ++counted;
    if (counted == seen.end()) counted = seen.insert(seen.end(), {name, 0});
    const int index = counted->second++;
    const std::string child = ElementPath(path, name);
    XmlTreeNode node;
    node.name = name;
    node.hasValue = store.HaveAttribute(child.c_str(), "Value", index);
    if (node.hasValue) node.value = store.GetAttribute(child.c_str(), "Value", index);
    if (index == 0) node.children = ReadLevel(store, child, depth + 1, node.cut);
    nodes.push_back(std::move(node));
  }
  return nodes;
}

void AddLines(const std::vector<XmlTreeNode>& nodes, const std::string& indent,
              std::vector<std::string>& lines) {
  for (const XmlTreeNode& node : nodes) {
    lines.push_back(indent + node.name + (node.hasValue ? " = " + node.value : std::string()));
    AddLines(node.children, indent + "  ", lines);
    if (node.cut) lines.push_back(indent + "  ...");
  }
}

}  // namespace

std::vector<XmlTreeNode> ReadXmlTree(CXmlIni& store) {
  bool unused = false;
  return ReadLevel(store, "", 0, unused);
}

std::vector<std::string> XmlTreeLines(const std::vector<XmlTreeNode>& tree) {
  std::vector<std::string> lines;
  AddLines(tree, "", lines);
  return lines;
}

}  // namespace tool
}  // namespace dezov
