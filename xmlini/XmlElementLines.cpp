#include "XmlElementLines.h"

#include "../include/XmlIni.h"
#include "XmlStoreAccess.h"

namespace dezov {

int XmlElementLines::LineOf(CXmlIni& store, const char* path) {
  const std::vector<std::string> components = PathComponents(path);
  if (store.pXMLDoc == nullptr || components.empty()) return 0;
  return store.pXMLDoc->LineOf(ResolvePath(*store.pXMLDoc, components, 0, false));
}

}  // namespace dezov
