// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "HostStrings.h"
#include "text/Numbers.h"
#include "text/TextUtil.h"

using dezov::FormatString;
using dezov::SplitString;

namespace {

std::vector<std::string> Split(const char* text, char delimiter) {
  std::vector<std::string> pieces;
  SplitString(text, delimiter, pieces);
  return pieces;
}

using Pieces = std::vector<std::string>;

}  // namespace

TEST(FormatString, FormatsAndCutsOnlyBeyondTheLimit) {
  std::string out = "old";
  FormatString(out, "%s\\%s", "DEPLOY", "DEPLOY1");
  EXPECT_EQ(out, "DEPLOY\\DEPLOY1");

  for (std::size_t size : {2048u, 2049u, 43008u, 50000u}) {
    const std::string text(size, 'x');
    FormatString(out, "%s", text.c_str());
    EXPECT_EQ(out, text.substr(0, 43008)) << size;
  }
}

TEST(SplitString, EveryDelimiterEndsAPieceButATrailingOneAddsNothing) {
  const std::pair<const char*, Pieces> cases[] = {{"JYS,1", {"JYS", "1"}}, {"", {}},  {"a,b,", {"a", "b"}},
                                                  {",a", {"", "a"}},          {",", {""}}, {nullptr, {}},
                                                  {"a,,b", {"a", "", "b"}}};
  for (const auto& [text, pieces] : cases) EXPECT_EQ(Split(text, ','), pieces) << (text ? text : "null");
  Pieces kept{"first"};
  SplitString("10:20", ':', kept);
  EXPECT_EQ(kept, (Pieces{"first", "10", "20"}));
}

TEST(LoadResourceText, SmallIntegersAreIdsResolvedThroughTheHostTable) {
  ClearHostStrings();
  std::string name;
  EXPECT_FALSE(dezov::LoadResourceText(name, "plain.xml"));
  EXPECT_FALSE(dezov::LoadResourceText(name, nullptr));
  // No block for the id: true, target untouched.
  name = "untouched";
  EXPECT_TRUE(dezov::LoadResourceText(name, reinterpret_cast<const char*>(101)));
  EXPECT_EQ(name, "untouched");
  // Same block (96..111) as a registered id, missing entry: the empty text.
  RegisterHostString(100, "config.xml");
  EXPECT_TRUE(dezov::LoadResourceText(name, reinterpret_cast<const char*>(101)));
  EXPECT_EQ(name, "");
  ClearHostStrings();
}

TEST(NameRule, IgnoresOnlyTheCaseOfAsciiLettersInEveryForm) {
  EXPECT_TRUE(dezov::NamesEqual("Deploy", "DEPLOY"));
  EXPECT_FALSE(dezov::NamesEqual("DEPLOY", "DEPLOY1"));
  EXPECT_FALSE(dezov::NamesEqual("[", "{"));  // 0x5B and 0x7B differ by 0x20 but are no letters
  EXPECT_FALSE(dezov::NamesEqual("\xC0", "\xE0"));
  EXPECT_EQ(dezov::FoldName("AbC\xC0"), "abc\xC0");
  EXPECT_EQ(dezov::NameHash("Deploy1"), dezov::NameHash("dEPLOY1"));

  // The unconverted UTF-16 comparison agrees with NamesEqual, or defers.
  using dezov::AsciiMatch;
  EXPECT_EQ(dezov::MatchAsciiUnits(u"Deploy", "DEPLOY"), AsciiMatch::kEqual);
  EXPECT_EQ(dezov::MatchAsciiUnits(u"Deplo", "DEPLOY"), AsciiMatch::kDifferent);
  EXPECT_EQ(dezov::MatchAsciiUnits(u"Deploy1", "DEPLOY"), AsciiMatch::kDifferent);
  EXPECT_EQ(dezov::MatchAsciiUnits(u"{", "["), AsciiMatch::kDifferent);
  EXPECT_EQ(dezov::MatchAsciiUnits(u"A\u4E2D", "a\xD6\xD0"), AsciiMatch::kUndecided);
  EXPECT_EQ(dezov::MatchAsciiUnits(u"B\u4E2D", "a\xD6\xD0"), AsciiMatch::kDifferent);
  std::string folded;
  EXPECT_TRUE(dezov::FoldAsciiUnits(u"AbC", folded));
  EXPECT_EQ(folded, "abc");
  EXPECT_FALSE(dezov::FoldAsciiUnits(u"A\u4E2D", folded));
}

TEST(Numbers, ReadAndWriteLikeTheCLocaleAndNeverOverflowOrCut) {
  const std::pair<const char*, long> longs[] = {{"  -42", -42}, {"12abc", 12}, {"+7", 7}, {"abc", 0}, {nullptr, 0},
                                                {"99999999999999999999999", LONG_MAX},
                                                {"-99999999999999999999999", LONG_MIN}};
  for (const auto& [text, value] : longs) EXPECT_EQ(dezov::ParseLong(text), value) << (text ? text : "null");
  const std::pair<const char*, double> doubles[] = {{" 2.5x", 2.5}, {"-1e3", -1000.0}, {"+.5", 0.5}, {"0x10", 16.0},
                                                    {"+-1", 0.0},   {"1,5", 1.0},      {"1e-999", 0.0}};
  for (const auto& [text, value] : doubles) EXPECT_DOUBLE_EQ(dezov::ParseDouble(text), value) << text;
  EXPECT_TRUE(std::isinf(dezov::ParseDouble("1e999")));
  // The longest fixed text, whole.
  char expected[400];
  std::snprintf(expected, sizeof expected, "%f", -DBL_MAX);
  EXPECT_EQ(dezov::FormatFixed(-DBL_MAX), expected);
}
