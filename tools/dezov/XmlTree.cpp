#include "XmlTree.h"

#include <map>

#include "Session.h"
#include "XmlIni.h"
#include "text/TextUtil.h"

namespace dezov {
namespace tool {
namespace {

constexpr int kMaxDepth = 64;  // deeper levels are shown as "..."

void AddLevel(CXmlIni& store, const std::string& path, int depth, std::vector<std::string>& lines) {
  std::vector<std::string> names;
  if (path.empty())
    store.GetSections(names);
  else
    store.GetKeysInSection(path.c_str(), names);
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  if (!names.empty() && depth >= kMaxDepth) {
    lines.push_back(indent + "...");
    return;
  }
  std::map<std::string, int> seen;  // elements met so far, by the store's name rule
  for (const auto& name : names) {
    const int index = seen[FoldName(name)]++;
    const std::string child = ChildPath(path, name);
    std::string line = indent + name;
    if (store.HaveAttribute(child.c_str(), "Value", index))
      line += " = " + store.GetAttribute(child.c_str(), "Value", index);
    lines.push_back(line);
    if (index == 0) AddLevel(store, child, depth + 1, lines);
  }
}

}  // namespace

std::vector<std::string> XmlTreeLines(CXmlIni& store) {
  std::vector<std::string> lines;
  AddLevel(store, "", 0, lines);
  return lines;
}

}  // namespace tool
}  // namespace dezov
