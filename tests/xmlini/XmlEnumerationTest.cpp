// Listing sections and keys, and removing every matching element.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "XmlIni.h"
#include "support/TestFiles.h"

namespace {

using Names = std::vector<std::string>;

class Enumeration : public ::testing::Test {
 protected:
  void Load(const std::string& body) {
    testing_support::WriteBytes(path, "<?xml version=\"1.0\" encoding=\"gb2312\" ?>\r\n<vornini>" +
                                          body + "</vornini>");
    ASSERT_TRUE(store.Open(path.c_str())) << store.GetLastErrMsg();
  }
  Names Sections() {
    Names names;
    EXPECT_TRUE(store.GetSections(names));
    return names;
  }
  Names Keys(const char* section) {
    Names names;
    EXPECT_TRUE(store.GetKeysInSection(section, names));
    return names;
  }
  testing_support::TempDir dir;
  std::string path = dir.File("enumeration.xml");
  CXmlIni store;
};

TEST_F(Enumeration, DuplicateAndCaseVariantSections) {
  Load("\n<DEPLOY/><!-- c -->\n<JYS/>text<deploy/>\n");
  Names names = {"earlier"};
  ASSERT_TRUE(store.GetSections(names));
  EXPECT_EQ(names, (Names{"earlier", "DEPLOY", "JYS", "deploy"}));
  EXPECT_TRUE(store.RemoveSection("Deploy"));
  EXPECT_EQ(Sections(), Names{"JYS"});
  EXPECT_FALSE(store.RemoveSection("Deploy"));
}

TEST_F(Enumeration, KeysOfTheFirstMatchingSection) {
  Load("<S>\n <DEPLOY1/>\n <DEPLOY2/>\n <DEPLOY1/>\n</S><A><x/></A><A><y/></A><p><q><r/></q></p>");
  EXPECT_EQ(Keys("s"), (Names{"DEPLOY1", "DEPLOY2", "DEPLOY1"}));
  EXPECT_EQ(Keys("A"), Names{"x"});
  EXPECT_EQ(Keys("P\\Q"), Names{"r"});
  EXPECT_EQ(Keys("missing"), Names{});
  Names none;
  EXPECT_FALSE(store.GetKeysInSection("", none));
  EXPECT_FALSE(store.RemoveKey("A", "y"));  // only the first A is searched
  EXPECT_EQ(Keys("a"), Names{"x"});
}

TEST_F(Enumeration, RemovalTakesEveryMatchAndNothingElse) {
  Load("<S><k/><other/><K/><k><deep/></k></S><S><k/></S><T/>");
  EXPECT_TRUE(store.RemoveKey("s", "k"));
  EXPECT_EQ(Keys("S"), Names{"other"});
  EXPECT_EQ(Sections(), (Names{"S", "S", "T"}));  // the second S kept its key
  EXPECT_FALSE(store.RemoveKey("s", "k"));
  EXPECT_FALSE(store.RemoveSection("S\\\\other"));  // an empty component matches nothing
  EXPECT_TRUE(store.RemoveKey("s", ""));  // "s\" is the section path itself
  EXPECT_EQ(Sections(), Names{"T"});
  ASSERT_TRUE(store.WriteFile());
  CXmlIni reopened;
  ASSERT_TRUE(reopened.Open(path.c_str()));
  Names after;
  ASSERT_TRUE(reopened.GetSections(after));
  EXPECT_EQ(after, Names{"T"});
}

TEST_F(Enumeration, StoreWithoutDocument) {
  Names names;
  EXPECT_FALSE(store.GetSections(names));
  EXPECT_FALSE(store.GetKeysInSection("a", names));
  EXPECT_FALSE(store.RemoveSection("a"));
  EXPECT_EQ(store.GetLastErrMsg(), "");
  EXPECT_TRUE(names.empty());
}

}  // namespace
