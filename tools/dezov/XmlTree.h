// SPDX-License-Identifier: MIT
// The XML store's document as a tree of names and values.
#ifndef DEZOV_TOOL_XML_TREE_H
#define DEZOV_TOOL_XML_TREE_H

#include <string>
#include <vector>

class CXmlIni;

namespace dezov {
namespace tool {

// One element below the root: its name, its attribute Value when it has one
// (store text), and its element children. Element paths reach only the
// children of the first element of a name, so later elements of the same
// name are listed without their children; below 64 levels children are cut
// (cut is set).
struct XmlTreeNode {
  std::string name;
  bool hasValue = false;
  std::string value;
  std::vector<XmlTreeNode> children;
  bool cut = false;
};

// The elements below the root, in document order.
std::vector<XmlTreeNode> ReadXmlTree(CXmlIni& store);

// One line per element, indented two blanks per level, with " = value" when
// the element has a value; "..." where children were cut.
std::vector<std::string> XmlTreeLines(const std::vector<XmlTreeNode>& tree);

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_XML_TREE_H
