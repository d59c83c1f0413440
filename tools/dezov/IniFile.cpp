// SPDX-License-Identifier: MIT
#include "IniFile.h"

#include <fstream>

#include "KdIni.h"
#include "ToolError.h"

namespace dezov {
namespace tool {

StoreEncoding IniEncodingOf(const std::string& file, StoreEncoding chosen) {
  std::ifstream in(file, std::ios::binary);
  char mark[3] = {0, 0, 0};
  if (in && in.read(mark, sizeof mark) && mark[0] == '\xEF' && mark[1] == '\xBB' &&
      mark[2] == '\xBF')
    return StoreEncoding::kUtf8;
  return chosen;
}

void OpenIniFile(CKdIni& store, const std::string& file) {
  RequireExistingFile(file);  // the store would create a missing file
  if (!store.Open(file.c_str()))
    throw Failure("cannot read " + file + ": " + store.GetLastErrMsg());
}

void OpenOrStartIniFile(CKdIni& store, const std::string& file, bool create) {
  if (!create || !IsMissingFile(file)) return OpenIniFile(store, file);
  // An empty store that names the file writes it whole, so a refused change
  // leaves no file behind.
  store.strFileName = file;
}

void WriteIniFile(CKdIni& store, const std::string& file) {
  if (!store.bModified) return;  // the change left the text as it was
  if (!store.WriteFile()) {
    store.bModified = false;  // the destructor would try the same write again
    throw Failure("cannot write " + file + ": " + store.GetLastErrMsg() +
                  (IsMissingFile(file) ? " (no file was created)" : " (the file is unchanged)"));
  }
}

}  // namespace tool
}  // namespace dezov
