// Bytes of files labelled gb2312 that code page 936 has no two-byte form for:
// GB18030 four-byte sequences are kept exactly, anything else is refused with
// its place in the file.
#include <gtest/gtest.h>

#include <xercesc/util/PlatformUtils.hpp>

#include "XmlFixture.h"
#include "xmlini/GbkCodec.h"

using testing_support::WriteBytes;

namespace {
const std::string kEuroSign4 = "\x81\x30\x81\x30";       // U+0080
const std::string kSupplementary = "\x90\x30\x81\x30";   // U+10000
const std::string kThai = "\x81\x31\x81\x30";            // Thai letters live here
const std::string kChinese = "\xD6\xD0\xCE\xC4";
}  // namespace

// Reading and writing them back unchanged is in the golden file gb18030-four-byte.
TEST_F(XmlStoreTest, FourByteSequencesReadAsThemselves) {
  const std::string value = "a" + kEuroSign4 + kChinese + kSupplementary + "z";
  CXmlIni store;
  OpenOn(store, "<S><N" + kThai + " Value=\"" + value + "\"/></S>");
  EXPECT_EQ(store.GetValue("S", ("n" + kThai).c_str()), value);
}

TEST_F(XmlStoreTest, BytesThatAreNotGbkFailToOpenWithLineAndColumn) {
  CXmlIni store;
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
