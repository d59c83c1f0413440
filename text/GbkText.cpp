// SPDX-License-Identifier: MIT
#include "../include/GbkText.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "../xmlini/GbkCodec.h"
#include "../xmlini/XmlLibrary.h"
#include "TextUtil.h"

namespace dezov {
namespace {

std::string Hex(unsigned value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
  return buffer;
}

// The GBK converter of the calling thread; null with reason when the XML
// library, which carries code page 936, could not start.
GbkCodec* Codec(std::string& reason) {
  const Status& started = StartXmlLibrary();
  if (!started.ok()) {
    reason = "no GBK conversion: " + started.message();
    return nullptr;
  }
  return &ThreadGbkCodec();
}

// Offset of the GBK character that holds byte offset within text: characters
// are one byte below 0x80, four bytes for lead byte and digit, else two.
std::size_t GbkCharacterStart(const std::string& text, std::size_t offset) {
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    if (lead >= 0x81 && lead <= 0xFE && at + 1 < text.size()) {
      const auto second = static_cast<unsigned char>(text[at + 1]);
      length = second >= 0x30 && second <= 0x39 ? 4 : 2;
    }
    if (at + length > offset) return at;
    at += length;
  }
  return at;
}

// Why the GBK character at offset is refused.
std::string NotGbk(const std::string& gbk, std::size_t offset) {
  if (offset >= gbk.size()) return "the GBK text ends inside a character";
  const auto lead = static_cast<unsigned char>(gbk[offset]);
  const bool digit = offset + 1 < gbk.size() && gbk[offset + 1] >= '0' && gbk[offset + 1] <= '9';
  const std::size_t needed = lead < 0x81 || lead == 0xFF ? 1 : digit ? 4 : 2;
  if (gbk.size() - offset < needed)
    return "the GBK text ends inside a character at offset " + std::to_string(offset);
  return "byte 0x" + Hex(static_cast<unsigned char>(gbk[offset]), 2) + " at offset " +
         std::to_string(offset) + " is neither GBK nor a GB18030 four-byte sequence";
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// The code point of the well-formed UTF-8 sequence at text[at], and its
// length; 0 when the bytes there are no such sequence (a stray or missing
// continuation byte, an overlong form, a surrogate, beyond U+10FFFF).
std::size_t DecodeUtf8(const std::string& text, std::size_t at, char32_t& c) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(at);
  std::size_t length = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, minimum = 0x80, c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, minimum = 0x800, c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, minimum = 0x10000, c = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(at + i) & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

bool GbkToUtf8(const std::string& gbk, std::string& utf8, std::string& reason) {
  if (IsAscii(gbk)) {
    utf8 = gbk;
    return true;
  }
  GbkCodec* codec = Codec(reason);
  if (codec == nullptr) return false;
  Utf16 units;
  const std::size_t taken = codec->DecodeValid(gbk, units);
  if (taken != gbk.size()) {
    reason = NotGbk(gbk, taken);
    return false;
  }
  // A sequence the code page reads but writes back otherwise is no GBK text
  // either: converting it would change the bytes.
  const std::string again = codec->Encode(units.data(), units.size());
  if (again != gbk) {
    std::size_t differ = 0;
    while (differ < gbk.size() && differ < again.size() && gbk[differ] == again[differ]) ++differ;
    reason = NotGbk(gbk, GbkCharacterStart(gbk, differ));
    return false;
  }
  utf8.clear();
  utf8.reserve(gbk.size() + gbk.size() / 2);
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(c, utf8);
  }
  return true;
}

bool Utf8ToGbk(const std::string& utf8, std::string& gbk, std::string& reason) {
  Utf16 units;
  std::vector<std::size_t> offsets;  // of each unit's character in utf8
  units.reserve(utf8.size());
  offsets.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    char32_t c = 0;
    const std::size_t length = DecodeUtf8(utf8, at, c);
    if (length == 0) {
      reason = "invalid UTF-8 at offset " + std::to_string(at) + " (byte 0x" +
               Hex(static_cast<unsigned char>(utf8[at]), 2) + ")";
      return false;
    }
    if (c < 0x10000) {
      units.push_back(static_cast<XMLCh>(c));
      offsets.push_back(at);
    } else {
      units.push_back(static_cast<XMLCh>(0xD800 + ((c - 0x10000) >> 10)));
      units.push_back(static_cast<XMLCh>(0xDC00 + ((c - 0x10000) & 0x3FF)));
      offsets.insert(offsets.end(), 2, at);
    }
    at += length;
  }
  if (IsAscii(utf8)) {
    gbk = utf8;
    return true;
  }
  GbkCodec* codec = Codec(reason);
  if (codec == nullptr) return false;
  gbk = codec->Encode(units.data(), units.size());
  // A character without a form was written as '?', and a best-fit form would
  // read back as another character: the first unit that differs names it.
  const Utf16 back = codec->Decode(gbk);
  if (back != units) {
    std::size_t differ = 0;
    while (differ < back.size() && differ < units.size() && back[differ] == units[differ])
      ++differ;
    const std::size_t at = offsets[std::min(differ, offsets.size() - 1)];
    char32_t c = 0;
    DecodeUtf8(utf8, at, c);
    reason = "U+" + Hex(static_cast<unsigned>(c), 4) + " at offset " + std::to_string(at) +
             " has neither a GBK nor a GB18030 four-byte form";
    return false;
  }
  return true;
}

}  // namespace dezov
