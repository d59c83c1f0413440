// Attributes addressed by element path and index; listing sections and keys
// and removing every matching element.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "XmlFixture.h"

namespace {

using Names = std::vector<std::string>;

// The keys listed for section, or {"failed"} when the listing fails.
Names Keys(CXmlIni& store, const char* section) {
  Names names;
  return store.GetKeysInSection(section, names) ? names : Names{"failed"};
}

TEST_F(XmlStoreTest, AttributesByPathIgnoreCaseIndexSelectsAndOnlyIndexZeroCreates) {
  CXmlIni store;
  OpenOn(store, "<a><b n=\"0\" e=\"\"/>\n<c/><B n=\"1\"/></a><a><b n=\"other\"/></a>");
  EXPECT_EQ(store.GetAttribute("A\\b", "N", 1), "1");
  EXPECT_TRUE(store.HaveAttribute("a\\b", "E") && !store.HaveAttribute("a\\b", "x"));
  EXPECT_FALSE(store.HaveAttribute("a\\b", "n", 2));
  EXPECT_TRUE(store.RemoveAttribute("a\\b", "n", 1));
  EXPECT_FALSE(store.RemoveAttribute("a\\b", "n", 1));
  EXPECT_EQ(store.GetAttribute("a\\b", "n", 0), "0");
  EXPECT_FALSE(store.SetAttribute("new\\leaf", "a", "1", 1));  // only index 0 creates
  EXPECT_TRUE(store.SetAttribute("new\\leaf", "a", "tab\tok"));
  EXPECT_EQ(store.GetAttribute("NEW\\LEAF", "A"), "tab\tok");
}

TEST_F(XmlStoreTest, RemovingAndClearingEveryAttribute) {
  CXmlIni store;
  OpenOn(store, "<x a=\"1\" b=\"2\"/><x c=\"3\"/><y/>");
  EXPECT_TRUE(store.RemoveAttribute("x", ""));   // all of the first x
  EXPECT_FALSE(store.RemoveAttribute("x", ""));  // nothing left
  EXPECT_TRUE(store.ClearAttribute("y"));        // nothing to clear is still success
  EXPECT_FALSE(store.ClearAttribute("z"));
  EXPECT_TRUE(store.HaveAttribute("x", "c", 1));
  // The DOM puts back an attribute defaulted by the DTD: clearing must still end.
  std::string text = Document("<x a=\"1\" b=\"2\"/>");
  text.insert(text.find("<vornini"), "<!DOCTYPE vornini [<!ATTLIST x a CDATA \"dflt\">]>");
  OpenText(store, text);
  EXPECT_TRUE(store.ClearAttribute("x") && store.RemoveAttribute("x", ""));
  EXPECT_EQ(store.GetAttribute("x", "a") + store.GetAttribute("x", "b"), "dflt");
}

TEST_F(XmlStoreTest, EnumerationListsDuplicatesAndTheFirstMatchingSectionOnly) {
  CXmlIni store;
  Names names = {"earlier"};
  EXPECT_FALSE(store.GetSections(names) || store.RemoveSection("a"));  // no document
  OpenOn(
      store,
      "\n<DEPLOY><k1/>\n<k2/><!--c--><k1/></DEPLOY>text<A><x/></A><deploy/><A/><p><q><r/></q></p>");
  ASSERT_TRUE(store.GetSections(names));
  EXPECT_EQ(names, (Names{"earlier", "DEPLOY", "A", "deploy", "A", "p"}));
  EXPECT_EQ(Keys(store, "Deploy"), (Names{"k1", "k2", "k1"}));
  EXPECT_EQ(Keys(store, "P\\Q"), Names{"r"});
  EXPECT_EQ(Keys(store, "missing"), Names{});
  EXPECT_EQ(Keys(store, ""), Names{"failed"});
}

TEST_F(XmlStoreTest, RemovalTakesEveryMatchOfTheLastComponent) {
  CXmlIni store;
  OpenOn(store, "<S><k/><other/><K/></S><s><k/></s><A><x/></A><A><y/></A><T/>");
  EXPECT_FALSE(store.RemoveKey("A", "y"));  // only the first A is searched
  EXPECT_TRUE(store.RemoveKey("s", "k"));
  EXPECT_EQ(Keys(store, "S"), Names{"other"});
  EXPECT_FALSE(store.RemoveSection("S\\\\other"));  // an empty component matches nothing
  EXPECT_TRUE(store.RemoveKey("S", ""));            // "S\" names the sections themselves
  EXPECT_TRUE(store.RemoveSection("a"));
  Names after;
  ASSERT_TRUE(store.GetSections(after));
  EXPECT_EQ(after, Names{"T"});
}

}  // namespace
