// Helpers shared by the files that implement CXmlIni's operations.
#ifndef DEZOV20_XMLINI_XML_STORE_ACCESS_H
#define DEZOV20_XMLINI_XML_STORE_ACCESS_H

#include <string>
#include <vector>

#include "../text/TextUtil.h"
#include "XmlDocument.h"

namespace dezov {

// The index-th element at the path given by components (at least one) below
// the root: each earlier component takes its first match; for index 0 and
// create, missing elements are made. Null when absent.
xercesc::DOMElement* ResolvePath(XmlDocument& document,
                                 const std::vector<std::string>& components, int index,
                                 bool create);

// The components of an element path: every backslash ends one; a non-empty
// rest is the last.
inline std::vector<std::string> PathComponents(const char* path) {
  std::vector<std::string> components;
  SplitString(OrEmpty(path), '\\', components);
  return components;
}

// The element path of a key: section, a backslash, key. Never cut.
inline std::string KeyPath(const char* section, const char* key) {
  std::string path(OrEmpty(section));
  path += '\\';
  path += OrEmpty(key);
  return path;
}

}  // namespace dezov

#endif  // DEZOV20_XMLINI_XML_STORE_ACCESS_H
