// SPDX-License-Identifier: MIT
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

// A store on a file that may be created for a change: a missing file is
// created with the store's default document, and removed again unless the
// change is written (Commit), while it still holds only that document.
class XmlFileForChange {
 public:
  // Opens file; creates it first when it is missing and create is set.
  // Throws a Failure otherwise.
  XmlFileForChange(CXmlIni& store, const std::string& file, bool create);
  XmlFileForChange(const XmlFileForChange&) = delete;
  XmlFileForChange& operator=(const XmlFileForChange&) = delete;
  ~XmlFileForChange();
  // Writes the store over the file (see WriteXmlFile); the file stays.
  void Commit();

 private:
  CXmlIni& store_;
  std::string file_;
  bool created_ = false;
  std::string createdBytes_;  // the file as created
};

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_XML_FILE_H
