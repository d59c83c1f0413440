// SPDX-License-Identifier: MIT
// Input meant to hurt, and bytes at the edge of the encoding: entity
// expansion, external entities, depth, many siblings, and bytes of files
// labelled gb2312 that code page 936 has no two-byte form for (GB18030
// four-byte sequences are kept exactly, anything else is refused with its
// place in the file).
#include <gtest/gtest.h>

#include <xercesc/util/PlatformUtils.hpp>

#include <string>

#include "XmlFixture.h"
#include "xmlini/GbkCodec.h"

using testing_support::WriteBytes;

namespace {

const std::string kEuroSign4 = "\x81\x30\x81\x30";       // U+0080
const std::string kSupplementary = "\x90\x30\x81\x30";   // U+10000
const std::string kThai = "\x81\x31\x81\x30";            // Thai letters live here
const std::string kChinese = "\xD6\xD0\xCE\xC4";

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
  OpenText(store, "<?xml version=\"1.0\"?><!DOCTYPE vornini SYSTEM \"" + dir.File("defaults.dtd") +
                      "\"><vornini><S><K/></S></vornini>");
  EXPECT_EQ(store.GetValue("S", "K"), "");
}

TEST_F(XmlStoreTest, DepthIsBoundedOnOpen) {
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
  OpenText(store, text + "</vornini>");
  EXPECT_TRUE(store.SetValue("S99999", "K", "last"));
  EXPECT_EQ(WrittenAndReread(store, "s99999", "k"), "last");
}

// Reading and writing them back unchanged is in the golden file gb18030-four-byte.
TEST_F(XmlStoreTest, FourByteSequencesReadAsThemselves) {
  const std::string value = "a" + kEuroSign4 + kChinese + kSupplementary + "z";
  OpenOn(store, "<S><N" + kThai + " Value=\"" + value + "\"/></S>");
  EXPECT_EQ(store.GetValue("S", ("n" + kThai).c_str()), value);
}

TEST_F(XmlStoreTest, BytesThatAreNotGbkFailToOpenWithLineAndColumn) {
  OpenOn(store, "<S><K Value=\"kept\"/></S>");
  const struct {
    std::string bad;
    const char* shown;
  } cases[] = {
      {"\x81\x7F", "81 7F"},                  // no trail byte
      {"\x81\x30\x81", "81 30 81"},           // four-byte sequence cut short
      {"\x84\x31\xA5\x30", "84 31 A5 30"},    // past the last BMP sequence
      {"\xFE\x39\xFE\x39", "FE 39 FE 39"},    // past U+10FFFF
      {"\x81", "81"},                         // a lead byte at the end
  };
  for (const auto& c : cases) {
    const std::string text = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<vornini>\n  <S V=\"" +
                             kChinese + c.bad;
    WriteBytes(dir.File("bad.xml"), text + (c.bad == "\x81" ? "" : "\"/></vornini>"));
    EXPECT_FALSE(store.Open(dir.File("bad.xml").c_str())) << c.shown;
    const std::string message = store.GetLastErrMsg();
    EXPECT_NE(message.find(c.shown), std::string::npos) << message;
    EXPECT_NE(message.find("line 3, column 11"), std::string::npos) << message;
  }
  EXPECT_EQ(store.GetFileName(), path);
  EXPECT_EQ(store.GetValue("S", "K"), "kept");
}

TEST(GbkCodecTest, EveryFourByteSequenceThatDecodesEncodesToTheSameBytes) {
  xercesc::XMLPlatformUtils::Initialize();
  {
    dezov::GbkCodec codec;
    int kept = 0;
    std::string bytes(4, '\0');
    // Every BMP sequence, and the supplementary planes' first and last.
    for (unsigned number = 0; number < 39420 + 2; ++number) {
      unsigned n = number < 39420 ? number : (number == 39420 ? 189000 : 189000 + 0x10FFFF - 0x10000);
      bytes[3] = static_cast<char>(0x30 + n % 10);
      n /= 10;
      bytes[2] = static_cast<char>(0x81 + n % 126);
      n /= 126;
      bytes[1] = static_cast<char>(0x30 + n % 10);
      bytes[0] = static_cast<char>(0x81 + n / 10);
      dezov::Utf16 text;
      if (!codec.DecodeExact(bytes, text)) continue;
      ++kept;
      ASSERT_EQ(codec.Encode(text.data(), text.size()), bytes) << number;
    }
    // The few that name a character code page 936 has are refused instead.
    EXPECT_GT(kept, 39000);
  }
  xercesc::XMLPlatformUtils::Terminate();
}
