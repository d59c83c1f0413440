#include "XmlFile.h"

#include "Session.h"
#include "ToolError.h"
#include "XmlIni.h"

namespace dezov {
namespace tool {

void OpenXmlFile(CXmlIni& store, const std::string& file) {
  RequireExistingFile(file);  // the store would create a missing file
  if (!store.Open(file.c_str())) throw Failure("cannot open " + file + ": " + store.GetLastErrMsg());
}

void WriteXmlFile(CXmlIni& store, const std::string& file) {
  if (!store.WriteFile())
    throw Failure("cannot write " + file + ": " + store.GetLastErrMsg() + " (the file is unchanged)");
}

}  // namespace tool
}  // namespace dezov
