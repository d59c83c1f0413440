// Reading and writing INI files: the exact output, line ends, the modified
// flags, Open's outcomes and writes that fail.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>

#include "include/KdIni.h"
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

TEST(IniFile, ReadsEveryKindOfLineAndWritesOnlyTheChanges) {
  TempDir dir;
  const std::string path = dir.File("kinds.ini");
  WriteBytes(path, Golden("kinds.ini"));
  {
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
    EXPECT_TRUE(ini.SetValue("SYSTEM", "host", "remote"));
    EXPECT_TRUE(ini.SetValue("System", "Added", "  spaced  "));
    EXPECT_TRUE(ini.SetValue("DUP", "k", "one"));
    EXPECT_TRUE(ini.SetValue("New Section", "key", "v"));
    EXPECT_TRUE(ini.RemoveKey("System", ""));
    EXPECT_TRUE(ini.WriteFile());
    EXPECT_FALSE(ini.WriteFile());  // nothing changed since
    EXPECT_EQ(ini.vecSections[0]->vecKeys[0]->strLine, "Port=9090 // listen port");
  }
  EXPECT_EQ(ReadBytes(path), Golden("kinds.expected.ini"));

  CKdIni again;
  ASSERT_TRUE(again.Open(path.c_str()));
  EXPECT_EQ(again.GetValue("System", "Added"), "spaced");  // read back trimmed
  EXPECT_EQ(again.GetValue("Dup", "K"), "one");
}

TEST(IniFile, KeepsCrLfLineEndsAndByteOrderMark) {
  TempDir dir;
  const std::string path = dir.File("crlf.ini");
  const std::string text = "\xEF\xBB\xBF; c\r\n[A]\r\nx = 1\r\n\r\ny=2 \r\r\n";
  WriteBytes(path, text);
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()));
    EXPECT_EQ(ini.vecSections[0]->vecComments[0], "; c");
    EXPECT_EQ(ini.vecSections[0]->vecKeys[1]->strLine, "y=2 \r");
    EXPECT_EQ(ini.GetValue("A", "y"), "2");
    EXPECT_TRUE(ini.RemoveSection("A"));
    EXPECT_TRUE(ini.SetValue("B", "z", "3"));
  }
  EXPECT_EQ(ReadBytes(path), "\xEF\xBB\xBF[B]\r\nz=3\r\n");
  WriteBytes(path, text);
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()));
    ASSERT_TRUE(ini.SetValue("A", "new", "v") && ini.RemoveKey("A", "new"));
  }
  EXPECT_EQ(ReadBytes(path), text);  // a changed store that ends as read
  WriteBytes(path, "[A]\nx=1");      // no final line end: LF
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()) && ini.SetValue("A", "x", "2"));
  }
  EXPECT_EQ(ReadBytes(path), "[A]\nx=2\n");
}

TEST(IniFile, WritesOnlyWhenModified) {
  TempDir dir;
  const std::string path = dir.File("flags.ini");
  WriteBytes(path, "[A]\nx=1\ny=2\n");
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()));
    WriteBytes(path, "changed behind the store\n");
    EXPECT_FALSE(ini.WriteFile());
  }  // not modified: the destructor leaves the file alone
  EXPECT_EQ(ReadBytes(path), "changed behind the store\n");

  WriteBytes(path, "[A]\nx=1\ny=2\n");
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()));
    EXPECT_TRUE(ini.RemoveKey("A", "x"));  // a removal alone is saved
  }
  EXPECT_EQ(ReadBytes(path), "[A]\ny=2\n");
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()));
    EXPECT_FALSE(ini.RemoveKey("A", "x"));
    ini.ResetContent();  // unmodified: nothing written
  }
  EXPECT_EQ(ReadBytes(path), "[A]\ny=2\n");
  const std::string other = dir.File("other.ini");
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()));
    ASSERT_TRUE(ini.SetValue("A", "y", "3"));
    ASSERT_TRUE(ini.Open(other.c_str()));  // saves the first file first
    EXPECT_EQ(ReadBytes(path), "[A]\ny=3\n");
    EXPECT_FALSE(ini.bModified);
    ASSERT_TRUE(ini.Open(path.c_str()));
    ASSERT_TRUE(ini.SetValue("A", "y", "4"));
    ini.ResetContent();
  }
  EXPECT_EQ(ReadBytes(path), "");  // reset while modified: an empty file
}

TEST(IniFile, NewAndEmptyFilesCanBeSaved) {
  TempDir dir;
  const std::string created = dir.File("new.ini");
  const std::string empty = dir.File("empty.ini");
  WriteBytes(empty, "");
  {
    CKdIni first;
    CKdIni second;
    ASSERT_TRUE(first.Open(created.c_str()));
    ASSERT_TRUE(second.Open(empty.c_str()));
    EXPECT_EQ(first.strFileName, created);
    EXPECT_TRUE(first.SetValue("S", "k", "v") && second.SetValue("S", "k", "w"));
  }
  EXPECT_EQ(ReadBytes(created), "[S]" + kNewLineEnd + "k=v" + kNewLineEnd);
  EXPECT_EQ(ReadBytes(empty), "[S]" + kNewLineEnd + "k=w" + kNewLineEnd);
}

TEST(IniFile, FailedOpenForgetsTheEarlierFile) {
  TempDir dir;
  const std::string path = dir.File("keep.ini");
  WriteBytes(path, "[A]\nx=1\n");
  CKdIni ini;
  ASSERT_TRUE(ini.Open(path.c_str()));
  EXPECT_FALSE(ini.Open(dir.path().c_str()));  // a directory: the read fails
  EXPECT_FALSE(ini.Open(nullptr));
  EXPECT_FALSE(ini.Open(dir.File("no/such/dir.ini").c_str()));
  EXPECT_TRUE(ini.strFileName.empty());
  EXPECT_TRUE(ini.vecSections.empty());
  EXPECT_TRUE(ini.SetValue("B", "y", "2"));
  EXPECT_FALSE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
}

TEST(IniFile, OpenAtExeDirectoryUsesTheCurrentDirectory) {
  TempDir dir;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  CKdIni ini;
  const bool opened = ini.OpenAtExeDirectory("here.ini");
  const bool openedNull = ini.OpenAtExeDirectory(nullptr);
  std::filesystem::current_path(before);
  EXPECT_TRUE(opened);
  EXPECT_TRUE(Exists(dir.File("here.ini")));
  EXPECT_FALSE(openedNull);
}

TEST(IniFile, WritesLongLinesWhole) {
  TempDir dir;
  const std::string path = dir.File("long.ini");
  const std::string value(50000, 'v');
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(path.c_str()) && ini.SetValue("A", "k", value.c_str()));
  }
  CKdIni ini;
  ASSERT_TRUE(ini.Open(path.c_str()));
  EXPECT_EQ(ini.GetValue("A", "k"), value);
}

#ifndef _WIN32
TEST(IniFile, FailedWriteKeepsOldFileAndChanges) {
  TempDir dir;
  const std::string sub = dir.File("sub");
  const std::string path = sub + "/gone.ini";
  std::filesystem::create_directory(sub);
  WriteBytes(path, "[A]\nx=1\n");
  CKdIni ini;
  ASSERT_TRUE(ini.Open(path.c_str()) && ini.SetValue("A", "x", "2"));
  std::filesystem::remove_all(sub);
  EXPECT_FALSE(ini.WriteFile());
  EXPECT_TRUE(ini.bModified);
  std::filesystem::create_directory(sub);
  EXPECT_TRUE(ini.WriteFile());  // the key is still written in its new form
  EXPECT_EQ(ReadBytes(path), "[A]\nx=2\n");
}

TEST(IniFile, WriteOverFileSizeLimitLeavesOldFile) {
  TempDir dir;
  const std::string path = dir.File("limit.ini");
  WriteBytes(path, "[A]\nx=1\n");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {64, 64};
    setrlimit(RLIMIT_FSIZE, &limit);
    CKdIni ini;
    const bool ok = ini.Open(path.c_str()) && ini.SetValue("A", "x", std::string(200, 'y').c_str());
    _exit(ok && !ini.WriteFile() && ini.bModified && !ini.WriteFile() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
  EXPECT_EQ(dir.EntryCount(), 1);  // no temporary file left
}

TEST(IniFile, WriteThroughSymlinkKeepsLinkAndMode) {
  TempDir dir;
  const std::string real = dir.File("real.ini");
  const std::string link = dir.File("link.ini");
  WriteBytes(real, "[A]\nx=1\n");
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(symlink("real.ini", link.c_str()), 0);
  {
    CKdIni ini;
    ASSERT_TRUE(ini.Open(link.c_str()) && ini.SetValue("A", "x", "2"));
  }
  struct stat info;
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadBytes(real), "[A]\nx=2\n");
}
#endif

}  // namespace
