// Opening and writing an XML store on a file the user named.
#ifndef DEZOV_TOOL_XML_FILE_H
#define DEZOV_TOOL_XML_FILE_H

#include <string>

class CXmlIni;

namespace dezov {
namespace tool {

// Opens an existing file; throws a Failure with the store's error text.
void OpenXmlFile(CXmlIni& store, const std::string& file);
// Writes the store over its file; throws a Failure with the store's error text.
void WriteXmlFile(CXmlIni& store, const std::string& file);

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_XML_FILE_H
