#include <gtest/gtest.h>

#include <climits>

#include "XmlFixture.h"

using testing_support::ReadBytes;

namespace {
// GB2312 text "中文", and a character only GBK has (0x81 0x40).
const std::string kChinese = "\xD6\xD0\xCE\xC4";
const std::string kGbkOnly = "\x81\x40";
}  // namespace

TEST_F(XmlStoreTest, SetValueCreatesEveryElementOnceAndGetValueFindsThemInAnyCase) {
  CXmlIni store;
  OpenOn(store, "");
  EXPECT_TRUE(store.SetValue("DEPLOY", "DEPLOY1", "JYS,1"));
  EXPECT_TRUE(store.SetValue("DEPLOY", "DEPLOY1", std::string("YYB,0")));
  std::string section = "deploy", key = "Deploy1";
  EXPECT_EQ(store.GetValue(section, key), "YYB,0");
  EXPECT_FALSE(store.SetValue("DEPLOY", "DEPLOY1", "x", 1));
  EXPECT_EQ(store.GetValue("DEPLOY", "missing") + store.GetValue("missing", "DEPLOY1"), "");
  // A path creates every missing element, each once.
  EXPECT_TRUE(store.SetValue("a\\b", "c", "1") && store.SetValue("A\\b", "c", "2"));
  EXPECT_FALSE(store.HaveNode("a", 1) || store.HaveNode("a\\b", 1) || store.HaveNode("a\\b\\c", 1));
  EXPECT_EQ(store.GetValue("A\\B", "C"), "2");
}

TEST_F(XmlStoreTest, IndexSelectsAmongKeysOfTheFirstSectionOnly) {
  CXmlIni store;
  OpenOn(store, "<S><K Value=\"0\"/><x/><k VALUE=\"1\" other=\"o\"/></S><S><K Value=\"late\"/></S>");
  EXPECT_EQ(store.GetValue("S", "K", 0), "0");
  EXPECT_EQ(store.GetValue("S", "K", 1), "1");  // the attribute name matches in any case
  EXPECT_EQ(store.GetValue("S", "K", 2), "");
  EXPECT_EQ(store.GetValue("S", "K", -1), "");
  EXPECT_TRUE(store.SetValue("S", "K", "2", 1));  // adds a separate, exact-case "Value"
  EXPECT_EQ(store.GetValue("S", "K", 1), "1");
}

TEST_F(XmlStoreTest, NumbersAreDecimalText) {
  CXmlIni store;
  OpenOn(store, "<S><A Value=\"12abc\"/></S>");
  EXPECT_TRUE(store.SetValue("S", "N", -42) && store.SetValue("S", "L", LONG_MIN));
  EXPECT_EQ(store.GetValue("S", "N"), "-42");
  EXPECT_EQ(store.GetLong("S", "L"), LONG_MIN);
  EXPECT_EQ(store.GetLong("S", "A") + store.GetLong("S", "absent"), 12);
}

TEST_F(XmlStoreTest, StoreWithoutDocumentReadsEmptyAndRefusesWrites) {
  CXmlIni store;
  EXPECT_EQ(store.GetValue("S", "K"), "");
  EXPECT_FALSE(store.SetValue("S", "K", "v") ||
               store.SetValue(nullptr, nullptr, static_cast<const char*>(nullptr)) ||
               store.HaveNode("S") || store.WriteFile());
  EXPECT_EQ(store.GetLastErrMsg(), "WriteFile Fail ( pXMLDoc = NULL )");
  EXPECT_EQ(dir.EntryCount(), 0);
}

TEST_F(XmlStoreTest, FilesLabelledGb2312AreReadAsGbk) {
  // A file written on Windows: GBK-only bytes under the gb2312 label.
  CXmlIni store;
  OpenText(store, "<?xml version=\"1.0\" encoding=\"GB2312\"?><vornini><S><K Value=\"" + kGbkOnly +
                      kChinese + "\"/></S></vornini>");
  EXPECT_EQ(store.GetValue("S", "K"), kGbkOnly + kChinese);
  // Other encodings are read as declared; a character without a narrow form
  // (a CJK radical) reads as "?".
  OpenText(store, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                  "<vornini><S><K Value=\"\xE4\xB8\xAD\xE2\xBA\x81\"/></S></vornini>");
  EXPECT_EQ(store.GetValue("S", "K"), "\xD6\xD0?");
}

TEST_F(XmlStoreTest, TextXmlCannotCarryIsRefusedAndChangesNothing) {
  CXmlIni store;
  OpenOn(store, "<S><K Value=\"old\"/></S>");
  EXPECT_FALSE(store.SetValue("S", "K", "bell\x07") || store.SetValue("New", "K", "bad\x01"));
  EXPECT_FALSE(store.SetValue("S", "K", "\x81\x7F"));  // no GBK character
  EXPECT_FALSE(store.SetValue("S\x81", "K", "v"));     // a lone lead byte in a name
  EXPECT_FALSE(store.HaveNode("New") || store.HaveNode("S\x81"));
  EXPECT_EQ(store.GetValue("S", "K"), "old");
  EXPECT_TRUE(store.SetValue("S", "K", "tab\tline\nreturn\r"));  // written as the golden files show
  EXPECT_EQ(WrittenAndReread(store, "S", "K"), "tab\tline\nreturn\r");
}

// A name with a character that has neither a GBK nor a GB18030 four-byte form
// (a CJK radical, from a UTF-8 file) cannot be written.
TEST_F(XmlStoreTest, NamesWithoutGbkFormAreRefused) {
  CXmlIni store;
  const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><vornini><a\xE2\xBA\x81/></vornini>";
  OpenText(store, utf8);
  EXPECT_FALSE(store.WriteFile());
  EXPECT_NE(store.GetLastErrMsg().find("gb2312"), std::string::npos) << store.GetLastErrMsg();
  EXPECT_EQ(ReadBytes(path), utf8);
}
