#include <gtest/gtest.h>

#include <string>

#include "XmlFixture.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using testing_support::ReadBytes;
using testing_support::WriteBytes;

TEST_F(XmlStoreTest, WrittenFileKeepsRootAttributesAndCommentsAndRewritesStably) {
  CXmlIni store;
  OpenOn(store, "<!-- kept --><S><K Value=\"1\"/></S>");
  ASSERT_TRUE(store.SetValue("New", "Key", "v"));
  EXPECT_EQ(WrittenAndReread(store, "New", "Key"), "v");
  const std::string first = ReadBytes(path);
  EXPECT_EQ(first.rfind("<?xml", 0), 0u);
  // "\n  <New>": one element per line, indented.
  for (const char* part : {"encoding=\"gb2312\"", "comment=\"c\"", "<!-- kept -->", "\n  <New>"})
    EXPECT_NE(first.find(part), std::string::npos) << part;
  // Writing the reread, unchanged document gives the same bytes.
  CXmlIni reread;
  ASSERT_TRUE(reread.Open(path.c_str()) && reread.WriteFile()) << reread.GetLastErrMsg();
  EXPECT_EQ(ReadBytes(path), first);
}

#ifndef _WIN32
// Each case makes the write fail a different way; the old file must stay byte
// for byte and no temporary file may be left behind.
class XmlWriteFaultTest : public XmlStoreTest {
 protected:
  void SetUp() override {
    OpenOn(store, "<S><K Value=\"old\"/></S>");
    before = ReadBytes(path);
    ASSERT_TRUE(store.SetValue("S", "K", "new"));
  }
  void ExpectOldFileIntact() {
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(dir.EntryCount(), 1);  // no temporary left (lock files are not counted)
  }
  CXmlIni store;
  std::string before;
};

TEST_F(XmlWriteFaultTest, FileSizeLimitPartWay) {
  const std::string big(300000, 'x');
  for (int i = 0; i < 4; ++i) store.SetValue("Big", ("K" + std::to_string(i)).c_str(), big.c_str());
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {65536, 65536};
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = store.WriteFile();
    _exit(!written && !store.GetLastErrMsg().empty() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ExpectOldFileIntact();
}

TEST_F(XmlWriteFaultTest, TargetReplacedByADirectoryOrItsDirectoryMovedAway) {
  ASSERT_EQ(std::remove(path.c_str()), 0);
  ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
  EXPECT_FALSE(store.WriteFile());
  EXPECT_FALSE(store.GetLastErrMsg().empty());
  EXPECT_EQ(dir.EntryCount(), 1);  // no temporary left (lock files are not counted)
  ASSERT_EQ(rmdir(path.c_str()), 0);
  WriteBytes(path, before);

  testing_support::TempDir other;
  const std::string moved = other.File("gone");
  ASSERT_EQ(rename(dir.path().c_str(), moved.c_str()), 0);
  EXPECT_FALSE(store.WriteFile());
  EXPECT_FALSE(store.GetLastErrMsg().empty());
  ASSERT_EQ(rename(moved.c_str(), dir.path().c_str()), 0);
  ExpectOldFileIntact();
}

TEST_F(XmlStoreTest, ReplaceKeepsLinksAndPermissionsAndFallsBackInPlace) {
  const std::string real = dir.File("real.xml");
  WriteBytes(real, Document("<S/>"));
  ASSERT_EQ(symlink("real.xml", path.c_str()), 0);
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  CXmlIni linked;
  ASSERT_TRUE(linked.Open(path.c_str()));
  linked.SetValue("S", "K", "through link");
  ASSERT_TRUE(linked.WriteFile()) << linked.GetLastErrMsg();
  struct stat info;
  ASSERT_EQ(lstat(path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_NE(ReadBytes(real).find("through link"), std::string::npos);

  if (geteuid() == 0) return;  // root may create files in any directory
  ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
  linked.SetValue("S", "K", "in place");
  EXPECT_TRUE(linked.WriteFile()) << linked.GetLastErrMsg();
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  EXPECT_NE(ReadBytes(real).find("in place"), std::string::npos);
  EXPECT_EQ(dir.EntryCount(), 2);
}
#endif

// Indentation is not kept as text (the writer indents anew), but text that is
// an element's only content, or that continues other text, is kept as it is.
TEST_F(XmlStoreTest, WritingKeepsRealTextAndDropsOnlyIndentation) {
  CXmlIni store;
  OpenOn(store, "\n  <S>\n    <K Value=\"1\">  </K>\n    <T>a &amp;  </T>\n    <U><b/>\n<!-- c --> </U>\n  </S>\n");
  ASSERT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
  const std::string written = testing_support::ReadBytes(path);
  EXPECT_NE(written.find("<K Value=\"1\">  </K>"), std::string::npos) << written;
  EXPECT_NE(written.find("<T>a &amp;  </T>"), std::string::npos) << written;
  EXPECT_NE(written.find("<!-- c -->"), std::string::npos) << written;
  CXmlIni reread;
  ASSERT_TRUE(reread.Open(path.c_str()));
  ASSERT_TRUE(reread.WriteFile());
  EXPECT_EQ(testing_support::ReadBytes(path), written);
}
