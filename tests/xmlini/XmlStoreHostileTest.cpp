#include <gtest/gtest.h>

#include <string>

#include "XmlFixture.h"

using testing_support::WriteBytes;

namespace {

bool IsParseFailure(const std::string& message) {
  return message.rfind("An error occurred during parsing Message: ", 0) == 0;
}

std::string Nested(int levels) {
  std::string text = "<?xml version=\"1.0\"?><vornini>";
  text.reserve(static_cast<std::size_t>(levels) * 9 + 64);
  for (int i = 1; i < levels; ++i) text += "<e>";
  for (int i = 1; i < levels; ++i) text += "</e>";
  return text + "</vornini>";
}

}  // namespace

// A billion laughs fails to open; modest internal entities and character
// references still work.
TEST_F(XmlStoreTest, EntityExpansionBlowUpFailsToOpenButModestEntitiesWork) {
  std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE vornini [\n<!ENTITY l0 \"ha\">\n";
  for (int i = 1; i <= 10; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "\">\n";
  }
  WriteBytes(path, laughs + "]>\n<vornini><S><K Value=\"&l10;\"/></S></vornini>");
  CXmlIni store;
  EXPECT_FALSE(store.Open(path.c_str()));
  EXPECT_TRUE(IsParseFailure(store.GetLastErrMsg())) << store.GetLastErrMsg();

  std::string text = "<?xml version=\"1.0\"?><!DOCTYPE vornini [<!ENTITY host \"example\">]><vornini><S>";
  for (int i = 0; i < 3000; ++i) text += "<K" + std::to_string(i) + " Value=\"&host;&amp;&lt;&#x41;\"/>";
  OpenText(store, text + "</S></vornini>");
  EXPECT_EQ(store.GetValue("S", "K2999"), "example&<A");
}

TEST_F(XmlStoreTest, ExternalEntitiesAndDtdsAreNeverRead) {
  WriteBytes(dir.File("secret.txt"), "SECRET");
  WriteBytes(dir.File("defaults.dtd"),
             "<!ATTLIST K Value CDATA \"FROM-DTD\"><!ENTITY % p SYSTEM \"secret.txt\">");
  const std::string general =
      "<?xml version=\"1.0\"?><!DOCTYPE vornini [<!ENTITY x SYSTEM \"" + dir.File("secret.txt") +
      "\">]><vornini><S><K Value=\"a\">&x;</K></S></vornini>";
  const std::string parameter =
      "<?xml version=\"1.0\"?><!DOCTYPE vornini [<!ENTITY % x SYSTEM \"" + dir.File("secret.txt") +
      "\"> %x;]><vornini/>";
  for (const std::string& text : {general, parameter}) {
    WriteBytes(path, text);
    CXmlIni store;
    EXPECT_FALSE(store.Open(path.c_str())) << text;
    EXPECT_EQ(store.GetLastErrMsg().find("SECRET"), std::string::npos);
  }
  // An external DTD is not loaded: its attribute defaults never apply.
  CXmlIni store;
  OpenText(store, "<?xml version=\"1.0\"?><!DOCTYPE vornini SYSTEM \"" + dir.File("defaults.dtd") +
                      "\"><vornini><S><K/></S></vornini>");
  EXPECT_EQ(store.GetValue("S", "K"), "");
}

TEST_F(XmlStoreTest, DepthIsBoundedOnOpen) {
  CXmlIni store;
  OpenText(store, Nested(1000));
  EXPECT_TRUE(store.WriteFile()) << store.GetLastErrMsg();

  WriteBytes(dir.File("deeper.xml"), Nested(1001));
  EXPECT_FALSE(store.Open(dir.File("deeper.xml").c_str()));
  EXPECT_TRUE(IsParseFailure(store.GetLastErrMsg())) << store.GetLastErrMsg();

  WriteBytes(dir.File("deepest.xml"), Nested(100000));
  EXPECT_FALSE(store.Open(dir.File("deepest.xml").c_str()));
  EXPECT_TRUE(IsParseFailure(store.GetLastErrMsg()));
  EXPECT_EQ(store.GetFileName(), path);

  // A path 100,000 levels deep resolves to nothing and creates nothing.
  std::string path100k = "e";
  for (int i = 1; i < 100000; ++i) path100k += "\\e";
  EXPECT_FALSE(store.HaveNode(path100k.c_str()));
  EXPECT_FALSE(store.SetValue(path100k.c_str(), "k", "v"));
  EXPECT_FALSE(store.Append(path100k.c_str()));
  EXPECT_TRUE(store.WriteFile());
}

TEST_F(XmlStoreTest, ManySiblingSectionsWork) {
  std::string text = "<?xml version=\"1.0\"?><vornini>";
  for (int i = 0; i < 100000; ++i) text += "<S" + std::to_string(i) + "/>";
  CXmlIni store;
  OpenText(store, text + "</vornini>");
  EXPECT_TRUE(store.SetValue("S99999", "K", "last"));
  EXPECT_EQ(WrittenAndReread(store, "s99999", "k"), "last");
}
