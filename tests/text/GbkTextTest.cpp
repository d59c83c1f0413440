// SPDX-License-Identifier: MIT
// The library's text rule both ways: every text that converts comes back
// exactly, and every refusal names the offset of the first bad sequence.
#include <gtest/gtest.h>

#include <string>

#include "GbkText.h"

namespace {

struct RoundTrip {
  const char* what;
  std::string gbk;
  std::string utf8;
};

const RoundTrip kRoundTrips[] = {
    {"empty", "", ""},
    {"ASCII with control bytes and NUL", std::string("a=b\t\r\n\x01\x7F", 9) + std::string(1, '\0'),
     std::string("a=b\t\r\n\x01\x7F", 9) + std::string(1, '\0')},
    {"two-byte GBK", "\xD5\xC5\xC8\xFD", "\xE5\xBC\xA0\xE4\xB8\x89"},  // 张三
    {"GBK beyond GB2312", "\x81\x40", "\xE4\xB8\x82"},                 // U+4E02
    {"euro sign as code page 936's 0x80", "\x80", "\xE2\x82\xAC"},
    {"U+0080, four bytes", "\x81\x30\x81\x30", "\xC2\x80"},
    {"Thai, four bytes", "\x81\x32\xCE\x39", "\xE0\xB8\x81"},          // U+0E01
#ifndef _WIN32  // the Windows converter has no form for this byte
    {"0xFF, code page 936's private-use byte", "\xFF", "\xEF\xA3\xB5"},  // U+F8F5
#endif
    {"emoji U+1F600, four bytes", "\x94\x39\xFC\x36", "\xF0\x9F\x98\x80"},
    {"last code point U+10FFFF", "\xE3\x32\x9A\x35", "\xF4\x8F\xBF\xBF"},
    {"mixed", "a\xD6\xD0" "b\x80\x94\x39\xFC\x36" "c", "a\xE4\xB8\xAD" "b\xE2\x82\xAC\xF0\x9F\x98\x80" "c"},
};

TEST(GbkText, TextsRoundTripExactlyBothWays) {
  for (const RoundTrip& text : kRoundTrips) {
    SCOPED_TRACE(text.what);
    std::string utf8 = "old";
    std::string gbk = "old";
    std::string reason;
    ASSERT_TRUE(dezov::GbkToUtf8(text.gbk, utf8, reason)) << reason;
    EXPECT_EQ(utf8, text.utf8);
    ASSERT_TRUE(dezov::Utf8ToGbk(text.utf8, gbk, reason)) << reason;
    EXPECT_EQ(gbk, text.gbk);
  }
  // Long texts with a four-byte form among two-byte runs convert whole.
  std::string gbk;
  std::string utf8;
  for (int i = 0; i < 5000; ++i) gbk += "\xD6\xD0x\x94\x39\xFC\x36";
  std::string reason;
  ASSERT_TRUE(dezov::GbkToUtf8(gbk, utf8, reason)) << reason;
  std::string back;
  ASSERT_TRUE(dezov::Utf8ToGbk(utf8, back, reason)) << reason;
  EXPECT_EQ(back, gbk);
}

struct Refusal {
  const char* what;
  std::string text;
  std::string reasonPart;  // the offset and what is there
};

TEST(GbkText, GbkThatIsNeitherFormIsRefusedWithItsOffset) {
  const Refusal refusals[] = {
      {"lead byte at the end", "ab\xD6", "ends inside a character at offset 2"},
      {"lead byte before a blank", "\xD6\xD0\xD6 ", "byte 0xD6 at offset 2"},
      {"lead byte before 0xFF", "a\x81\xFF", "byte 0x81 at offset 1"},
      {"cut four-byte sequence", "x\x81\x30\x81", "ends inside a character at offset 1"},
      {"four bytes beyond U+10FFFF", "\xD6\xD0\xE3\x32\x9A\x36", "byte 0xE3 at offset 2"},
      {"four bytes between the BMP and plane 1", "\x84\x31\xA5\x30", "byte 0x84 at offset 0"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    std::string utf8;
    std::string reason;
    EXPECT_FALSE(dezov::GbkToUtf8(refusal.text, utf8, reason));
    EXPECT_NE(reason.find(refusal.reasonPart), std::string::npos) << reason;
  }
}

TEST(GbkText, Utf8ThatIsInvalidOrHasNoFormIsRefusedWithItsOffset) {
  const Refusal refusals[] = {
      {"stray continuation byte", "ab\x80", "invalid UTF-8 at offset 2 (byte 0x80)"},
      {"overlong slash", "a\xC0\xAF", "invalid UTF-8 at offset 1"},
      {"surrogate", "\xED\xA0\x80", "invalid UTF-8 at offset 0"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "invalid UTF-8 at offset 0"},
      {"cut at the end", "\xE5\xBC", "invalid UTF-8 at offset 0"},
      {"latin-1 bytes", "caf\xE9", "invalid UTF-8 at offset 3"},
      {"GBK bytes", "\xD5\xC5", "invalid UTF-8 at offset 0"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    std::string gbk;
    std::string reason;
    EXPECT_FALSE(dezov::Utf8ToGbk(refusal.text, gbk, reason));
    EXPECT_NE(reason.find(refusal.reasonPart), std::string::npos) << reason;
  }
}

}  // namespace
