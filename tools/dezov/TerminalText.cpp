// SPDX-License-Identifier: MIT
#include "TerminalText.h"

#include <cstdio>
#include <utility>

#include "ToolError.h"
#include "Transcoder.h"

namespace dezov {
namespace tool {
namespace {

constexpr const char* kUtf8 = "UTF-8";
constexpr const char* kRawHint = "; --raw passes bytes unchanged";

std::string Hex(unsigned value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
  return buffer;
}

// Every byte below 0x80: the same text in every encoding a terminal speaks here.
bool IsAscii(const std::string& text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

std::string WhereBad(const std::string& text, std::size_t offset) {
  if (offset >= text.size()) return " (it ends inside a character)";
  return " (byte 0x" + Hex(static_cast<unsigned char>(text[offset]), 2) + " at offset " +
         std::to_string(offset) + ")";
}

Transcoded Step(const std::string& from, const std::string& to, const std::string& text) {
  Transcoded step = Transcode(from, to, text);
  if (step.unsupported)
    throw Failure("cannot convert between " + from + " and " + to + " on this system" +
                  kRawHint);
  return step;
}

}  // namespace

std::string CharacterAt(const std::string& utf8, std::size_t offset) {
  if (offset >= utf8.size()) return "a character";
  const auto byte = [&](std::size_t i) {
    return i < utf8.size() ? static_cast<unsigned char>(utf8[i]) : 0u;
  };
  const unsigned lead = byte(offset);
  const int trailing = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
  unsigned point = trailing == 0 ? lead : lead & (0x3Fu >> trailing);
  for (int i = 1; i <= trailing; ++i) point = (point << 6) | (byte(offset + i) & 0x3Fu);
  return "U+" + Hex(point, 4);
}

TerminalText::TerminalText(std::string codeset) : codeset_(std::move(codeset)) {}

std::string TerminalText::ToUtf8(const std::string& text, const std::string& what) const {
  if (IsAscii(text)) return text;
  // Also from UTF-8 itself: the conversion checks that the text is UTF-8.
  const Transcoded utf8 = Step(codeset_, kUtf8, text);
  if (!utf8.ok)
    throw Failure(what + " is not valid " + codeset_ + " text" + WhereBad(text, utf8.badOffset));
  return utf8.text;
}

std::string TerminalText::FromUtf8(const std::string& utf8) const {
  if (IsAscii(utf8) || codeset_ == kUtf8) return utf8;
  const Transcoded shown = Step(kUtf8, codeset_, utf8);
  if (!shown.ok)
    throw Failure("the terminal's encoding " + codeset_ + " cannot show " +
                  CharacterAt(utf8, shown.badOffset) + kRawHint);
  return shown.text;
}

}  // namespace tool
}  // namespace dezov
