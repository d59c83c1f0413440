// Reading and writing INI files: what each line reads as, the modified flags
// and Open's outcomes. The bytes written are the golden files'; how a save
// survives faults, links and modes is the save protocol's (tests/platform).
#include <gtest/gtest.h>

#include <filesystem>

#include "include/KdIni.h"
#include "platform/FileSystem.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

#ifdef _WIN32
const std::string kNewLineEnd = "\r\n";
#else
const std::string kNewLineEnd = "\n";
#endif

std::string Golden(const std::string& name) {
  return ReadBytes(SourceFile("tests/ini/golden/" + name));
}

// A private directory with one file in it to work on.
class IniFile : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir.File("test.ini");
};

// What each kind of line reads as; the bytes written back are checked by the
// golden files.
TEST_F(IniFile, ReadsEveryKindOfLine) {
  WriteBytes(path, Golden("kinds.ini"));
  CKdIni ini;
  ASSERT_TRUE(ini.Open(path.c_str()));
  EXPECT_EQ(ini.GetValue("System", "Name"), "padded value");
  EXPECT_EQ(ini.GetValue("System", "Path"), "//share/dir");
  EXPECT_EQ(ini.GetValue("System", "Note"), "a");
  EXPECT_EQ(ini.GetValue("System", "Semi"), "x;y # not a comment");
  EXPECT_EQ(ini.GetValue("System", ""), "no equals sign here");
  EXPECT_EQ(ini.vecSections[0]->vecKeys[0]->strComment, " listen port");
  EXPECT_EQ(ini.vecSections[0]->vecComments.size(), 7u);  // preamble, trimmed
  EXPECT_EQ(ini.vecSections[0]->vecComments[0], "preamble text");
  EXPECT_EQ(ini.vecSections[1]->strName, "");  // "[Empty" has no "]"
  EXPECT_EQ(ini.vecTailLines, (std::vector<std::string>{"", "; tail comment", "   "}));

  EXPECT_TRUE(ini.SetValue("system", "PORT", "9090"));
  EXPECT_TRUE(ini.WriteFile());
  EXPECT_FALSE(ini.WriteFile());  // nothing changed since
  EXPECT_EQ(ini.vecSections[0]->vecKeys[0]->strLine, "Port=9090 // listen port");
}

TEST_F(IniFile, WritesOnlyWhenModifiedAndSavesNewAndEmptyFilesWhole) {
  const std::string other = dir.File("other.ini");
  WriteBytes(path, "[A]\nx=1\ny=2\n");
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()));
    WriteBytes(path, "[A]\nx=1\n");  // changed behind the store
    ini.ResetContent();               // not modified: nothing is written
  }
  EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()) && ini.RemoveKey("A", "x"));  // a removal alone is saved
  }
  EXPECT_EQ(ReadBytes(path), "");  // the emptied section went with its last key
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()) && ini.SetValue("A", "y", "3"));
    ASSERT_TRUE(ini.Open(other.c_str()));  // saves the first file first
    EXPECT_EQ(ReadBytes(path), "[A]" + kNewLineEnd + "y=3" + kNewLineEnd);
    EXPECT_FALSE(ini.bModified);
  }
  const std::string created = dir.File("new.ini");
  const std::string value(50000, 'v');  // far beyond any formatting bound
  WriteBytes(path, "");
  {
    CKdIni first;
    CKdIni second;
    ASSERT_TRUE(first.Open(created.c_str()) && second.Open(path.c_str()));
    EXPECT_TRUE(first.SetValue("S", "k", value.c_str()) && second.SetValue("S", "k", "w"));
  }
  EXPECT_EQ(ReadBytes(created), "[S]" + kNewLineEnd + "k=" + value + kNewLineEnd);
  EXPECT_EQ(ReadBytes(path), "[S]" + kNewLineEnd + "k=w" + kNewLineEnd);
}

// Fails every read after the first piece of a file.
class FailingSecondRead : public dezov::platform::FileSystemWrapper {
 public:
  FailingSecondRead() : FileSystemWrapper(dezov::platform::FileSystem::Current()) {}
  int Read(dezov::platform::NativeFile file, char* buffer, std::size_t size,
           std::size_t& got) override {
    return reads_++ == 0 ? target().Read(file, buffer, size, got) : 5;  // EIO; access denied
  }

 private:
  int reads_ = 0;
};

TEST_F(IniFile, FailedOpenForgetsTheEarlierFile) {
  WriteBytes(path, "[A]\nx=1\n");
  CKdIni ini;
  ASSERT_TRUE(ini.Open(path.c_str()));
  EXPECT_FALSE(ini.Open(dir.path().c_str()));  // a directory: the read fails
  EXPECT_FALSE(ini.Open(nullptr));
  EXPECT_FALSE(ini.Open(dir.File("no/such/dir.ini").c_str()));
  EXPECT_TRUE(ini.strFileName.empty() && ini.vecSections.empty());
  // Files are parsed as they are read: what came before a failed read goes.
  const std::string large = dir.File("large.ini");
  std::string text;
  for (int s = 0; text.size() < 200000; ++s) text += "[S" + std::to_string(s) + "]\nk=v\n";
  WriteBytes(large, text);
  {
    FailingSecondRead failing;
    dezov::platform::ScopedFileSystem installed(failing);
    EXPECT_FALSE(ini.Open(large.c_str()));
  }
  EXPECT_TRUE(ini.strFileName.empty() && ini.vecSections.empty());
  EXPECT_TRUE(ini.SetValue("B", "y", "2"));
  EXPECT_FALSE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
}

TEST_F(IniFile, OpenAtExeDirectoryUsesTheCurrentDirectory) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  CKdIni ini;
  const bool opened = ini.OpenAtExeDirectory("here.ini") && !ini.OpenAtExeDirectory(nullptr);
  std::filesystem::current_path(before);
  EXPECT_TRUE(opened && Exists(dir.File("here.ini")));
}

}  // namespace
