// SPDX-License-Identifier: MIT
// dezov.XmlFile: one opened XML configuration file (a CXmlIni), shared with
// the Deployment binding, which can load from an opened file.
#ifndef DEZOV20_PYTHON_XML_FILE_BINDING_H
#define DEZOV20_PYTHON_XML_FILE_BINDING_H

#include <memory>
#include <string>

#include "ModuleSupport.h"
#include "TextCasters.h"
#include "XmlIni.h"

namespace dezov {
namespace python {

// Like CXmlIni, it writes only when asked: save(), close() and the end of a
// with-block write its changes; an object that ends with changes drops them
// with a ResourceWarning. Reads and writes of the file run without the
// interpreter's lock; every use of the store holds lock() meanwhile.
class XmlFile {
 public:
  // Opens path; a missing file is created with the default document first.
  explicit XmlFile(const FilePath& path);
  XmlFile(const XmlFile&) = delete;
  XmlFile& operator=(const XmlFile&) = delete;
  ~XmlFile();

  // The store; ValueError once closed.
  CXmlIni& Store() const;
  StoreLock& lock() { return lock_; }
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
  StoreLock lock_;
};

// The store of an XmlFile for one call, used by this thread alone meanwhile.
class XmlInUse {
 public:
  explicit XmlInUse(XmlFile& file) : use_(file.lock()), store_(file.Store()) {}
  CXmlIni* operator->() const { return &store_; }
  CXmlIni& operator*() const { return store_; }

 private:
  StoreLock::Use use_;
  CXmlIni& store_;
};

}  // namespace python
}  // namespace dezov

#endif  // DEZOV20_PYTHON_XML_FILE_BINDING_H
