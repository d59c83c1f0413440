#include <gtest/gtest.h>

#include <xercesc/dom/DOMException.hpp>

#include "XmlFixture.h"

// Element paths: first match per level, no backtracking, index among the last
// component's matches, creation only for index 0.
TEST_F(XmlStoreTest, PathsMatchIgnoringCaseWithEqualLengthAndNoBacktracking) {
  CXmlIni store;
  OpenOn(store, "<a><B/></a><a><b/><b/></a>");
  EXPECT_TRUE(store.HaveNode("A\\b"));
  EXPECT_FALSE(store.HaveNode("a\\bb"));
  EXPECT_FALSE(store.HaveNode("a\\b", 1));  // only the first a is searched
  EXPECT_FALSE(store.SetValue("a", "b", "x", 1));
  EXPECT_FALSE(store.HaveNode("a\\b", -1));
  EXPECT_TRUE(store.HaveNode("a", 1));
  EXPECT_FALSE(store.HaveNode("a", 2));
  EXPECT_TRUE(store.HaveNode("a\\"));       // a trailing backslash adds nothing
  EXPECT_FALSE(store.HaveNode("a\\\\b"));   // an empty middle component
  EXPECT_FALSE(store.HaveNode("\\a"));
  EXPECT_FALSE(store.HaveNode("vornini"));  // the root is never named
}

TEST_F(XmlStoreTest, EmptyPathLeavesTheErrorTextOtherPathsClearIt) {
  CXmlIni store;
  EXPECT_FALSE(store.Open(path.c_str()));
  EXPECT_FALSE(store.WriteFile());
  ASSERT_FALSE(store.GetLastErrMsg().empty());
  EXPECT_FALSE(store.HaveNode(""));
  EXPECT_FALSE(store.HaveNode(nullptr));
  EXPECT_FALSE(store.GetLastErrMsg().empty());
  EXPECT_FALSE(store.HaveNode("missing"));
  EXPECT_EQ(store.GetLastErrMsg(), "");
}

TEST_F(XmlStoreTest, CreationAddsEveryMissingAncestorOnce) {
  CXmlIni store;
  OpenOn(store, "<a/>");
  EXPECT_TRUE(store.SetValue("a\\b", "c", "1"));
  EXPECT_TRUE(store.SetValue("a\\b", "c", "2"));
  EXPECT_TRUE(store.HaveNode("a\\b\\c"));
  EXPECT_FALSE(store.HaveNode("a\\b", 1));
  EXPECT_FALSE(store.HaveNode("a\\b\\c", 1));
  EXPECT_EQ(store.GetValue("A\\B", "C"), "2");
}

TEST_F(XmlStoreTest, NamesTheDomRefusesRaiseItsException) {
  CXmlIni store;
  OpenOn(store, "");
  EXPECT_THROW(store.SetValue("", "k", "v"), xercesc::DOMException);
  EXPECT_THROW(store.SetValue("1abc", "k", "v"), xercesc::DOMException);
  EXPECT_FALSE(store.HaveNode("1abc"));
}

TEST_F(XmlStoreTest, ElementsAreNeverCreatedDeeperThanTheLimit) {
  CXmlIni store;
  OpenOn(store, "");
  std::string deep = "e";
  for (int level = 2; level < 999; ++level) deep += "\\e";  // 998 levels below the root
  EXPECT_TRUE(store.SetValue(deep.c_str(), "k", "v"));      // the key is level 1000
  EXPECT_FALSE(store.SetValue(deep.c_str(), "k\\x", "v"));
  EXPECT_FALSE(store.HaveNode((deep + "\\k\\x").c_str()));
  EXPECT_TRUE(store.WriteFile()) << store.GetLastErrMsg();
  CXmlIni reread;
  ASSERT_TRUE(reread.Open(path.c_str())) << reread.GetLastErrMsg();
  EXPECT_EQ(reread.GetValue(deep.c_str(), "k"), "v");
}

TEST_F(XmlStoreTest, RefusedNameCanBeCaughtAfterTheLastStoreDied) {
  std::string message;
  try {
    CXmlIni store;
    OpenOn(store, "");
    store.SetValue("9bad", "k", "v");
  } catch (const xercesc::DOMException& error) {
    message.assign(error.getMessage() ? "message" : "none");
    EXPECT_EQ(error.code, xercesc::DOMException::INVALID_CHARACTER_ERR);
  }
  EXPECT_FALSE(message.empty());
}
