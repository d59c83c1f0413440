// The XML writer against golden files: every NAME.xml in tests/xmlini/golden
// is opened, changed by the optional NAME.edits, written, and must give
// NAME.expected.xml byte for byte; opening and writing that output again must
// not change it. NAME.edits holds one change per line, fields separated by
// tabs, \xHH standing for that byte: "set S K V" or "set-attr P A V".
// With DEZOV20_WRITE_GOLDEN set, the expected files are written instead (for
// a new case; review them before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "XmlFixture.h"

using namespace testing_support;

namespace {

// Opens path, applies edits, writes it, and returns the file's bytes.
std::string Rewrite(const std::string& path, const std::string& edits) {
  CXmlIni store;
  EXPECT_TRUE(store.Open(path.c_str())) << store.GetLastErrMsg();
  std::istringstream lines(edits);
  for (std::string line; std::getline(lines, line);) {
    const std::vector<std::string> f = TabFields(line);
    const bool applied = f.size() == 4 && (f[0] == "set" ? store.SetValue(f[1].c_str(), f[2].c_str(), f[3].c_str())
                                                         : store.SetAttribute(f[1].c_str(), f[2].c_str(), f[3].c_str()));
    EXPECT_TRUE(applied) << "edit not applied: " << line;
  }
  EXPECT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
  return ReadBytes(path);
}

TEST(XmlGolden, EveryCaseWritesItsExpectedBytes) {
  namespace fs = std::filesystem;
  const fs::path folder = SourceFile("tests/xmlini/golden");
  TempDir dir;
  int cases = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const std::string file = entry.path().filename().string();
    if (entry.path().extension() != ".xml" || file.find(".expected.") != std::string::npos) continue;
    const std::string name = file.substr(0, file.size() - 4);
    SCOPED_TRACE(name);
    ++cases;
    const fs::path editsFile = folder / (name + ".edits");
    const std::string expectedFile = (folder / (name + ".expected.xml")).string();
    WriteBytes(dir.File(file), ReadBytes(entry.path().string()));
    const std::string written =
        Rewrite(dir.File(file), fs::exists(editsFile) ? ReadBytes(editsFile.string()) : "");
    if (std::getenv("DEZOV20_WRITE_GOLDEN")) WriteBytes(expectedFile, written);
    EXPECT_EQ(written, ReadBytes(expectedFile));
    EXPECT_EQ(Rewrite(dir.File(file), ""), written);  // the writer's output is its own fixed point
  }
  EXPECT_GE(cases, 5);
}

}  // namespace
