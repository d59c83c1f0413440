// dezov.XmlFile: one opened XML configuration file (a CXmlIni), shared with
// the Deployment binding, which can load from an opened file.
#ifndef DEZOV20_PYTHON_XML_FILE_BINDING_H
#define DEZOV20_PYTHON_XML_FILE_BINDING_H

#include <memory>
#include <string>

#include "GbkText.h"
#include "XmlIni.h"

namespace dezov {
namespace python {

// Like CXmlIni, it writes only when asked: save(), close() and the end of a
// with-block write its changes; an object that ends with changes drops them
// with a ResourceWarning.
class XmlFile {
 public:
  // Opens path; a missing file is created with the default document first.
  explicit XmlFile(const FilePath& path);
  XmlFile(const XmlFile&) = delete;
  XmlFile& operator=(const XmlFile&) = delete;
  ~XmlFile();

  // The store; ValueError once closed.
  CXmlIni& Store() const;
  const std::string& path() const { return path_; }
  bool closed() const { return !store_; }
  // Whether a change succeeded since the file was opened or last saved.
  bool changed() const { return changed_; }
  void MarkChanged() { changed_ = true; }

  // Writes the whole document; dezov.Error with the library's reason on failure.
  void Save();
  // Saves when changed (unless save is false), then releases the store.
  void Close(bool save);

 private:
  std::unique_ptr<CXmlIni> store_;
  std::string path_;
  bool changed_ = false;
};

}  // namespace python
}  // namespace dezov

#endif  // DEZOV20_PYTHON_XML_FILE_BINDING_H
