// SPDX-License-Identifier: MIT
#include "XmlFile.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "PutFile.h"
#include "Session.h"
#include "ToolError.h"
#include "XmlIni.h"

namespace dezov {
namespace tool {
namespace {

// The file's bytes; false when it cannot be read.
bool ReadFile(const std::string& file, std::string& bytes) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

void OpenXmlFile(CXmlIni& store, const std::string& file) {
  RequireExistingFile(file);  // the store would create a missing file
  if (!store.Open(file.c_str())) throw Failure("cannot open " + file + ": " + store.GetLastErrMsg());
}

void WriteXmlFile(CXmlIni& store, const std::string& file) {
  if (!store.WriteFile())
    throw Failure("cannot write " + file + ": " + store.GetLastErrMsg() + " (the file is unchanged)");
}

XmlFileForChange::XmlFileForChange(CXmlIni& store, const std::string& file, bool create)
    : store_(store), file_(file) {
  if (create && IsMissingFile(file)) {
    // The store creates a missing file with its default document and reports
    // that as a failed open; the second open reads what it wrote.
    store.Open(file.c_str());
    created_ = !IsMissingFile(file) && ReadFile(file, createdBytes_);
    if (!created_) throw Failure("cannot create " + file + ": " + store.GetLastErrMsg());
  }
  OpenXmlFile(store, file);
}

XmlFileForChange::~XmlFileForChange() {
  if (!created_) return;
  std::string bytes;
  std::string reason;
  if (ReadFile(file_, bytes) && bytes == createdBytes_ && !RemoveFileLocked(file_, reason))
    std::fprintf(stderr, "dezov: %s\n", reason.c_str());
}

void XmlFileForChange::Commit() {
  if (!store_.WriteFile())
    throw Failure("cannot write " + file_ + ": " + store_.GetLastErrMsg() +
                  (created_ ? " (no file is left behind)" : " (the file is unchanged)"));
  created_ = false;
}

}  // namespace tool
}  // namespace dezov
