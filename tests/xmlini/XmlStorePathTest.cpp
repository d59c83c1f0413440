#include <gtest/gtest.h>

#include <xercesc/dom/DOMException.hpp>

#include "XmlFixture.h"

// Element paths: first match per level, no backtracking, index among the last
// component's matches, creation only for index 0; only the empty path keeps
// the last error text.
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
  store.Open("");                           // fails, leaving an error text
  std::vector<std::string> keys;
  EXPECT_FALSE(store.HaveNode("") || store.HaveNode(nullptr) || store.SetAttribute("", "a", "v") ||
               store.GetKeysInSection("", keys) ||
               store.RemoveSection("") || store.Append("") || store.ClearAttribute(""));
  EXPECT_EQ(store.GetLastErrMsg(), "open xml file error");  // the empty path keeps it
  EXPECT_FALSE(store.HaveNode("missing"));
  EXPECT_EQ(store.GetLastErrMsg(), "");  // any other path clears it
}

TEST_F(XmlStoreTest, ElementsAreNeverCreatedDeeperThanTheLimit) {
  CXmlIni store;
  OpenOn(store, "");
  std::string deep = "e";
  for (int level = 2; level < 999; ++level) deep += "\\e";  // 998 levels below the root
  EXPECT_TRUE(store.SetValue(deep.c_str(), "k", "v"));      // the key is level 1000
  EXPECT_FALSE(store.SetValue(deep.c_str(), "k\\x", "v"));
  EXPECT_FALSE(store.HaveNode((deep + "\\k\\x").c_str()));
  EXPECT_TRUE(store.Append((deep + "\\r").c_str()));
  EXPECT_FALSE(store.Append((deep + "\\r\\r").c_str()));
  EXPECT_FALSE(store.Set("id", "1"));  // a failed Append leaves no cursor
  EXPECT_EQ(WrittenAndReread(store, deep.c_str(), "k"), "v");
}

// Names the DOM refuses raise its exception, which can still be caught and
// read after the last store died while it propagated.
TEST_F(XmlStoreTest, NamesTheDomRefusesRaiseItsExceptionThatOutlivesTheStores) {
  std::string message;
  try {
    CXmlIni store;
    OpenOn(store, "");
    EXPECT_THROW(store.SetValue("", "k", "v"), xercesc::DOMException);
    EXPECT_THROW(store.SetValue("1abc", "k", "v"), xercesc::DOMException);
    EXPECT_FALSE(store.HaveNode("1abc"));
    store.SetValue("9bad", "k", "v");
  } catch (const xercesc::DOMException& error) {
    message.assign(error.getMessage() ? "message" : "none");
    EXPECT_EQ(error.code, xercesc::DOMException::INVALID_CHARACTER_ERR);
  }
  EXPECT_FALSE(message.empty());
}
