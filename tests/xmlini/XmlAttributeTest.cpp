// Attributes addressed by element path and index.
#include <gtest/gtest.h>

#include <string>

#include "XmlIni.h"
#include "support/TestFiles.h"

namespace {

class Attributes : public ::testing::Test {
 protected:
  // Opens a file holding doctype (may be empty) and a root holding body.
  void Load(const std::string& body, const std::string& doctype = "") {
    testing_support::WriteBytes(path, "<?xml version=\"1.0\" encoding=\"gb2312\" ?>\r\n" + doctype +
                                          "<vornini>" + body + "</vornini>");
    ASSERT_TRUE(store.Open(path.c_str())) << store.GetLastErrMsg();
  }
  testing_support::TempDir dir;
  std::string path = dir.File("attributes.xml");
  CXmlIni store;
};

TEST_F(Attributes, LookupsIgnoreCaseWritesKeepIt) {
  Load("<x id=\"5\" empty=\"\"/>");
  EXPECT_EQ(store.GetAttribute("X", "ID"), "5");
  EXPECT_TRUE(store.HaveAttribute("x", "Id"));
  EXPECT_TRUE(store.HaveAttribute("x", "EMPTY"));  // present though its value is empty
  EXPECT_FALSE(store.HaveAttribute("x", "absent"));
  EXPECT_EQ(store.GetAttribute("x", "empty"), store.GetAttribute("x", "absent"));
  EXPECT_FALSE(store.HaveAttribute("x", "i"));  // lengths differ

  EXPECT_TRUE(store.SetAttribute("x", "ID", "6"));  // added beside id
  EXPECT_TRUE(store.RemoveAttribute("x", "iD"));
  EXPECT_TRUE(store.RemoveAttribute("x", "iD"));
  EXPECT_FALSE(store.RemoveAttribute("x", "iD"));
  EXPECT_TRUE(store.HaveAttribute("x", "empty"));  // only the named ones went

  ASSERT_TRUE(store.SetValue("s", "k", "v"));
  EXPECT_EQ(store.GetAttribute("s\\k", "value"), "v");
}

TEST_F(Attributes, IndexSelectsAmongTheLastComponent) {
  Load("<a><b n=\"0\"/>\n<c/><B n=\"1\"/></a><a><b n=\"other\"/></a>");
  EXPECT_EQ(store.GetAttribute("a\\b", "n", 1), "1");
  EXPECT_TRUE(store.HaveAttribute("a\\b", "N", 1));
  EXPECT_FALSE(store.HaveAttribute("a\\b", "n", 2));
  EXPECT_TRUE(store.SetAttribute("a\\b", "m", "set", 1));
  EXPECT_FALSE(store.SetAttribute("a\\b", "m", "set", 2));  // never creates for index > 0
  EXPECT_FALSE(store.HaveNode("a\\b", 2));
  EXPECT_TRUE(store.RemoveAttribute("a\\b", "n", 1));
  EXPECT_EQ(store.GetAttribute("a\\b", "n", 0), "0");
  EXPECT_EQ(store.GetAttribute("a\\b", "m", 1), "set");
  EXPECT_EQ(store.GetAttribute("a\\b", "n", -1), "");
}

TEST_F(Attributes, SetCreatesOnlyForIndexZeroAndOnlyStorableText) {
  Load("");
  EXPECT_FALSE(store.SetAttribute("new\\leaf", "a", "1", 1));
  EXPECT_FALSE(store.HaveNode("new"));
  EXPECT_FALSE(store.SetAttribute("new\\leaf", "a", "bell\x07"));
  EXPECT_FALSE(store.SetAttribute("new\\leaf", "a", "\x81"));  // a lone lead byte
  EXPECT_FALSE(store.HaveNode("new"));
  EXPECT_TRUE(store.SetAttribute("new\\leaf", "a", "tab\tok"));
  EXPECT_EQ(store.GetAttribute("NEW\\LEAF", "A"), "tab\tok");
}

TEST_F(Attributes, RemovingAndClearingEveryAttribute) {
  Load("<x a=\"1\" b=\"2\"/><x c=\"3\"/><y/>");
  EXPECT_TRUE(store.RemoveAttribute("x", ""));  // all of the first x
  EXPECT_FALSE(store.RemoveAttribute("x", ""));  // nothing left to remove
  EXPECT_FALSE(store.HaveAttribute("x", "b"));
  EXPECT_TRUE(store.HaveAttribute("x", "c", 1));
  EXPECT_TRUE(store.ClearAttribute("y"));  // none to clear is still success
  EXPECT_FALSE(store.ClearAttribute("z"));
  EXPECT_TRUE(store.ClearAttribute("x"));  // always the first x
  EXPECT_TRUE(store.HaveAttribute("x", "c", 1));
  EXPECT_FALSE(store.RemoveAttribute("missing", ""));
}

TEST_F(Attributes, ClearingEndsWhenTheDtdPutsDefaultsBack) {
  Load("<x a=\"1\" b=\"2\"/>", "<!DOCTYPE vornini [<!ATTLIST x a CDATA \"dflt\">]>\r\n");
  EXPECT_TRUE(store.ClearAttribute("x"));
  EXPECT_FALSE(store.HaveAttribute("x", "b"));
  EXPECT_TRUE(store.RemoveAttribute("x", ""));
  EXPECT_EQ(store.GetAttribute("x", "a"), "dflt");
}

}  // namespace
