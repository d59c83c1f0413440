// What the writer puts in the file. How a save survives faults, links, modes
// and read-only directories is the save protocol's (tests/platform).
#include <gtest/gtest.h>

#include <string>

#include "XmlFixture.h"

using testing_support::ReadBytes;

TEST_F(XmlStoreTest, WrittenFileKeepsRootAttributesAndCommentsAndRewritesStably) {
  CXmlIni store;
  OpenOn(store, "<!-- kept --><S><K Value=\"1\"/></S>");
  ASSERT_TRUE(store.SetValue("New", "Key", "a&b<c>\"'"));
  EXPECT_EQ(WrittenAndReread(store, "New", "Key"), "a&b<c>\"'");
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

// Indentation is not kept as text (the writer indents anew), but text that is
// an element's only content, or that continues other text, is kept as it is.
TEST_F(XmlStoreTest, WritingKeepsRealTextAndDropsOnlyIndentation) {
  CXmlIni store;
  OpenOn(store, "\n  <S>\n    <K Value=\"1\">  </K>\n    <T>a &amp;  </T>\n    <U><b/>\n<!-- c --> </U>\n  </S>\n");
  ASSERT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
  const std::string written = ReadBytes(path);
  for (const char* kept : {"<K Value=\"1\">  </K>", "<T>a &amp;  </T>", "<!-- c -->"})
    EXPECT_NE(written.find(kept), std::string::npos) << written;
  CXmlIni reread;
  ASSERT_TRUE(reread.Open(path.c_str()) && reread.WriteFile());
  EXPECT_EQ(ReadBytes(path), written);
}
