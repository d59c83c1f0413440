// SPDX-License-Identifier: MIT
// Arbitrary bytes as an XML configuration file. When the file opens, every
// section and key is read, values and attributes taken from the input are set,
// the document is written, and the written file must open again with the same
// values.
#include <xercesc/dom/DOMException.hpp>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "FuzzFiles.h"
#include "XmlIni.h"

namespace {

using Values = std::map<std::pair<std::string, std::string>, std::string>;

constexpr std::size_t kMaxNames = 64;

// Every (section, key) pair the store lists, with what GetValue reads for it.
Values ReadEverything(CXmlIni& store) {
  Values values;
  std::vector<std::string> sections;
  store.GetSections(sections);
  if (sections.size() > kMaxNames) sections.resize(kMaxNames);
  for (const std::string& section : sections) {
    std::vector<std::string> keys;
    store.GetKeysInSection(section.c_str(), keys);
    if (keys.size() > kMaxNames) keys.resize(kMaxNames);
    for (const std::string& key : keys) {
      const std::string value = store.GetValue(section.c_str(), key.c_str());
      values[{section, key}] = value;
      store.GetAttribute((section + "\\" + key).c_str(), "Value", 1);
      store.HaveAttribute((section + "\\" + key).c_str(), key.c_str());
    }
    if (store.Locate(section.c_str(), keys.empty() ? "x" : keys.front().c_str())) {
      const long count = store.GetCount();
      for (long i = 0; i < count && i < static_cast<long>(kMaxNames); ++i) {
        store.Get("Value", static_cast<int>(i));
        store.GetChildNode(store.GetNodeByIndex(static_cast<int>(i)), "x");
      }
    }
  }
  return values;
}

// Texts cut out of the input, to be used as names and values.
std::vector<std::string> Pieces(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> pieces;
  std::string piece;
  for (std::size_t i = 0; i < size && pieces.size() < 6; ++i) {
    if (data[i] == '\n') {
      pieces.push_back(piece);
      piece.clear();
    } else if (data[i] != 0) {
      piece.push_back(static_cast<char>(data[i]));
    }
  }
  pieces.push_back(piece);
  while (pieces.size() < 3) pieces.push_back("v");
  return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static CXmlIni keepLibraryStarted;
  static const std::string path = fuzzing::ScratchPath("xml");
  fuzzing::WriteScratch(path, data, size);

  CXmlIni store;
  if (!store.Open(path.c_str())) return 0;
  ReadEverything(store);

  const std::vector<std::string> pieces = Pieces(data, size);
  try {
    store.SetValue("Fuzz", "Key", pieces[0].c_str());
    store.SetValue(pieces[1].c_str(), "Key", pieces[2].c_str());
    store.SetAttribute(pieces[1].c_str(), "Attr", pieces[0].c_str());
    if (store.Append("Fuzz\\Rec")) store.Set("n", pieces[2].c_str());
  } catch (const xercesc::DOMException&) {
    // Names the DOM refuses raise its exception by contract.
  }
  const Values before = ReadEverything(store);
  if (!store.WriteFile()) return 0;  // refused cleanly (e.g. a name outside gb2312)

  CXmlIni reread;
  if (!reread.Open(path.c_str())) fuzzing::Fail("written file does not open: " + reread.GetLastErrMsg());
  const Values after = ReadEverything(reread);
  if (after != before) fuzzing::Fail("values changed by a write and reopen");
  return 0;
}
