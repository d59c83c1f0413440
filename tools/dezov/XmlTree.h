// The XML store's document as an indented tree of names and values.
#ifndef DEZOV_TOOL_XML_TREE_H
#define DEZOV_TOOL_XML_TREE_H

#include <string>
#include <vector>

class CXmlIni;

namespace dezov {
namespace tool {

// One line per element below the root, indented two blanks per level, with
// " = value" when the element has the attribute Value (GBK text). Element
// paths reach only the children of the first element of a name, so later
// elements of the same name are listed without their children.
std::vector<std::string> XmlTreeLines(CXmlIni& store);

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_XML_TREE_H
