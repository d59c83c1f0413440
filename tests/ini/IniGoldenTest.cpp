// The INI round trip against golden files: every NAME.ini in tests/ini/golden
// is opened, changed by the optional NAME.edits, rewritten, and must give
// NAME.expected.ini byte for byte; rewriting that output again must not change
// it. NAME.edits holds one change per line, fields separated by tabs:
// "set S K V", "remove-key S K" or "remove-section S"; \xHH stands for that byte.
// With DEZOV20_WRITE_GOLDEN set, the expected files are written instead (for
// a new case; review them before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "include/KdIni.h"
#include "ini/IniParser.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

// Applies the edits; false (with a message) for an edit that did not apply.
::testing::AssertionResult ApplyEdits(CKdIni& ini, const std::string& edits) {
  std::istringstream lines(edits);
  std::string line;
  while (std::getline(lines, line)) {
    const std::vector<std::string> f = TabFields(line);
    bool applied = false;
    if (f[0] == "set" && f.size() == 4)
      applied = ini.SetValue(f[1].c_str(), f[2].c_str(), f[3].c_str());
    else if (f[0] == "remove-key" && f.size() == 3)
      applied = ini.RemoveKey(f[1].c_str(), f[2].c_str());
    else if (f[0] == "remove-section" && f.size() == 2)
      applied = ini.RemoveSection(f[1].c_str());
    if (!applied) return ::testing::AssertionFailure() << "edit not applied: " << line;
  }
  return ::testing::AssertionSuccess();
}

// Opens path, applies edits, forces a rewrite, and returns the file's bytes.
std::string Rewrite(const std::string& path, const std::string& edits) {
  CKdIni ini;
  EXPECT_TRUE(ini.Open(path.c_str()));
  EXPECT_TRUE(ApplyEdits(ini, edits));
  ini.bModified = true;
  EXPECT_TRUE(ini.WriteFile());
  return ReadBytes(path);
}

// Every line of the model, in order, with how the lines are written.
std::string Flattened(const std::string& text, std::size_t pieceSize) {
  CKdIni ini;
  dezov::IniTextParser parser(ini.vecSections, ini.vecTailLines);
  for (std::size_t at = 0; at < text.size(); at += pieceSize)
    parser.Feed(std::string_view(text).substr(at, pieceSize));
  const dezov::IniLayout layout = parser.Finish();
  std::string lines = std::to_string(layout.byteOrderMark) + std::to_string(layout.sawLineEnd) +
                      std::to_string(layout.crLfLines) + "\n";
  auto add = [&lines](const std::vector<std::string>& texts) {
    for (const std::string& text : texts) lines += text + "\n";
  };
  for (const CKdIni::CIniSection* section : ini.vecSections) {
    add(section->vecComments);
    lines += "[" + section->strName + "] " + section->strLine + "\n";
    for (const CKdIni::CIniKey* key : section->vecKeys) {
      add(key->vecComments);
      lines += key->strName + "=" + key->strValue + ";" + key->strComment + " " + key->strLine + "\n";
    }
  }
  add(ini.vecTailLines);
  return lines;
}

TEST(IniGolden, EveryCaseRewritesToItsExpectedBytes) {
  namespace fs = std::filesystem;
  const fs::path folder = SourceFile("tests/ini/golden");
  const bool writeExpected = std::getenv("DEZOV20_WRITE_GOLDEN") != nullptr;
  TempDir dir;
  int cases = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const std::string file = entry.path().filename().string();
    const std::string suffix = ".ini";
    if (file.size() <= suffix.size() || file.compare(file.size() - 4, 4, suffix) != 0 ||
        file.find(".expected.") != std::string::npos)
      continue;
    const std::string name = file.substr(0, file.size() - suffix.size());
    SCOPED_TRACE(name);
    ++cases;
    const fs::path editsFile = folder / (name + ".edits");
    const std::string edits = fs::exists(editsFile) ? ReadBytes(editsFile.string()) : "";
    const std::string expectedFile = (folder / (name + ".expected.ini")).string();
    const std::string path = dir.File(file);
    WriteBytes(path, ReadBytes(entry.path().string()));
    const std::string written = Rewrite(path, edits);
    if (writeExpected) WriteBytes(expectedFile, written);
    EXPECT_EQ(written, ReadBytes(expectedFile));
    EXPECT_EQ(Rewrite(path, ""), written);  // the writer's output is its own fixed point
    // Files are read in pieces: a piece may end anywhere, even inside a line
    // end or a byte-order mark.
    const std::string input = ReadBytes(entry.path().string());
    const std::string whole = Flattened(input, input.size() + 1);
    for (std::size_t piece : {1, 2, 3, 7}) EXPECT_EQ(Flattened(input, piece), whole) << piece;
  }
  EXPECT_GE(cases, 10);
}

}  // namespace
