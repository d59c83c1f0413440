// Two-step conversions through UTF-8, so that a failure can be told apart:
// bytes that are not text in their own encoding, or a character that the
// other encoding lacks.
#include "TerminalText.h"

#include <cstdio>
#include <utility>

#include "ToolError.h"
#include "Transcoder.h"
#include "text/TextUtil.h"

namespace dezov {
namespace tool {
namespace {

constexpr const char* kUtf8 = "UTF-8";
constexpr const char* kGbk = "GBK";
constexpr const char* kRawHint = "; --raw passes bytes unchanged";

std::string Hex(unsigned value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
  return buffer;
}

// The code point of the UTF-8 sequence at offset (the text is valid UTF-8).
unsigned CodePointAt(const std::string& utf8, std::size_t offset) {
  const auto byte = [&](std::size_t i) {
    return i < utf8.size() ? static_cast<unsigned char>(utf8[i]) : 0u;
  };
  const unsigned lead = byte(offset);
  if (lead < 0x80) return lead;
  const int trailing = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
  unsigned point = lead & (0x3Fu >> trailing);
  for (int i = 1; i <= trailing; ++i) point = (point << 6) | (byte(offset + i) & 0x3Fu);
  return point;
}

std::string WhereBad(const std::string& text, std::size_t offset) {
  if (offset >= text.size()) return " (it ends inside a character)";
  return " (byte 0x" + Hex(static_cast<unsigned char>(text[offset]), 2) + " at offset " +
         std::to_string(offset) + ")";
}

std::string Character(const std::string& utf8, std::size_t offset) {
  if (offset >= utf8.size()) return "a character";
  return "U+" + Hex(CodePointAt(utf8, offset), 4);
}

Transcoded Step(const std::string& from, const std::string& to, const std::string& text) {
  Transcoded step = Transcode(from, to, text);
  if (step.unsupported)
    throw Failure("cannot convert between " + from + " and " + to + " on this system" +
                  kRawHint);
  return step;
}

}  // namespace

TerminalText::TerminalText(std::string codeset) : codeset_(std::move(codeset)) {}

std::string TerminalText::ToGbk(const std::string& text, const std::string& what) const {
  if (IsAscii(text)) return text;  // every encoding in use agrees on ASCII
  const Transcoded utf8 = Step(codeset_, kUtf8, text);
  if (!utf8.ok)
    throw Failure(what + " is not valid " + codeset_ + " text" + WhereBad(text, utf8.badOffset));
  const Transcoded gbk = Step(kUtf8, kGbk, utf8.text);
  if (!gbk.ok)
    throw Failure(what + " holds " + Character(utf8.text, gbk.badOffset) +
                  ", which GBK cannot encode");
  return gbk.text;
}

std::string TerminalText::FromGbk(const std::string& gbk) const {
  if (IsAscii(gbk)) return gbk;
  const Transcoded utf8 = Step(kGbk, kUtf8, gbk);
  if (!utf8.ok)
    throw Failure("the stored text is not valid GBK" + WhereBad(gbk, utf8.badOffset) + kRawHint);
  const Transcoded shown = Step(kUtf8, codeset_, utf8.text);
  if (!shown.ok)
    throw Failure("the terminal's encoding " + codeset_ + " cannot show " +
                  Character(utf8.text, shown.badOffset) + kRawHint);
  return shown.text;
}

}  // namespace tool
}  // namespace dezov
