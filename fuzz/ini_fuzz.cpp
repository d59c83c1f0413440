// SPDX-License-Identifier: MIT
// Arbitrary bytes as an INI file: every lookup over every listed section and
// key, a forced rewrite, and values set from the input. Invariants: a file in
// the writer's own form is written back byte for byte, rewriting is stable
// and keeps every value, and a value SetValue accepts reads back exactly as
// the store held it (SetValue refuses what the format would read otherwise).
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "FuzzFiles.h"
#include "KdIni.h"

namespace {

using Values = std::map<std::pair<std::string, std::string>, std::string>;

const char kByteOrderMark[] = "\xEF\xBB\xBF";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool IsComment(const std::string& trimmed) {
  return trimmed.empty() || trimmed[0] == ';' || trimmed.rfind("//", 0) == 0 ||
         trimmed.rfind("/*", 0) == 0;
}

// True when the writer reproduces these bytes exactly: LF line ends, a final
// line end, no byte-order mark, and text before the first section already trimmed.
bool InWriterForm(const std::string& bytes) {
  if (bytes.empty()) return true;
  if (bytes.back() != '\n' || bytes.find('\r') != std::string::npos ||
      bytes.find('\0') != std::string::npos || bytes.rfind(kByteOrderMark, 0) == 0)
    return false;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find('\n', start);
    const std::string line = bytes.substr(start, end - start);
    const std::string trimmed = Trim(line);
    if (!trimmed.empty() && trimmed[0] == '[') return true;
    if (!IsComment(trimmed) && line != trimmed) return false;
    start = end + 1;
  }
  return true;
}

Values ReadEverything(CKdIni& ini) {
  Values values;
  std::vector<std::string> sections;
  ini.GetSections(sections);
  for (const std::string& section : sections) {
    std::vector<std::string> keys;
    ini.GetKeysInSection(section.c_str(), keys);
    for (const std::string& key : keys) {
      values[{section, key}] = ini.GetValue(section.c_str(), key.c_str(), "default");
      ini.GetLong(section.c_str(), key.c_str());
      ini.GetSubValue(section.c_str(), key.c_str(), 1, ',');
    }
  }
  return values;
}

std::vector<std::string> Pieces(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> pieces(3);
  std::size_t which = 0;
  for (std::size_t i = size > 64 ? size - 64 : 0; i < size; ++i) {
    if (data[i] == '|' && which < 2)
      ++which;
    else
      pieces[which].push_back(static_cast<char>(data[i]));
  }
  return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzzing::ScratchPath("ini");
  const std::string original(reinterpret_cast<const char*>(data), size);
  fuzzing::WriteScratch(path, data, size);
  Values values;
  {
    CKdIni ini;
    if (!ini.Open(path.c_str())) fuzzing::Fail("an existing file does not open");
    values = ReadEverything(ini);
    ini.bModified = true;  // force a rewrite of the unchanged content
    if (!ini.WriteFile()) fuzzing::Fail("rewrite failed");
  }
  const std::string first = ReadAll(path);
  if (InWriterForm(original) && first != original) fuzzing::Fail("unchanged file not reproduced");
  {
    CKdIni ini;
    ini.Open(path.c_str());
    if (ReadEverything(ini) != values) fuzzing::Fail("values changed by a rewrite");
    ini.bModified = true;
    ini.WriteFile();
  }
  if (ReadAll(path) != first) fuzzing::Fail("rewriting is not stable");

  const std::vector<std::string> pieces = Pieces(data, size);
  bool setNew = false, setOld = false;
  std::string oldSection, oldKey, heldNew, heldOld;
  {
    CKdIni ini;
    ini.Open(path.c_str());
    setNew = ini.SetValue(pieces[0].c_str(), pieces[1].c_str(), pieces[2].c_str());
    if (!values.empty()) {
      oldSection = values.begin()->first.first;
      oldKey = values.begin()->first.second;
      setOld = ini.SetValue(oldSection.c_str(), oldKey.c_str(), pieces[2].c_str());
    }
    heldNew = ini.GetValue(pieces[0].c_str(), pieces[1].c_str(), "?");
    heldOld = ini.GetValue(oldSection.c_str(), oldKey.c_str(), "?");
    // SetValue saw the text up to a NUL, and holds it as the reader trims it.
    const std::string expected = Trim(pieces[2].c_str());
    if ((setNew && heldNew != expected) || (setOld && heldOld != expected))
      fuzzing::Fail("a set value is not held as given");
  }  // the destructor saves
  CKdIni reread;
  reread.Open(path.c_str());
  if (setOld && reread.GetValue(oldSection.c_str(), oldKey.c_str(), "?") != heldOld)
    fuzzing::Fail("existing key does not read back as set");
  if (setNew && reread.GetValue(pieces[0].c_str(), pieces[1].c_str(), "?") != heldNew)
    fuzzing::Fail("new key does not read back as set");
  return 0;
}
