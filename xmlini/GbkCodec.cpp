// SPDX-License-Identifier: MIT
#include "GbkCodec.h"

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TranscodingException.hpp>
#include <xercesc/util/XMLString.hpp>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "../text/TextUtil.h"
#include "Gb18030FourByte.h"

namespace dezov {
namespace {

constexpr XMLCh kReplacement = 0xFFFD;
constexpr std::size_t kChunk = 4096;

// Names under which the transcoding services know code page 936.
const XMLCh* const kGbkNames[] = {u"windows-936", u"GBK", u"CP936", u"MS936", u"gb2312"};

bool IsLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }
bool IsTrailByte(unsigned char byte) { return byte >= 0x40 && byte <= 0xFE && byte != 0x7F; }

bool IsSurrogatePair(const XMLCh* text, std::size_t length) {
  return length >= 2 && text[0] >= 0xD800 && text[0] <= 0xDBFF && text[1] >= 0xDC00 &&
         text[1] <= 0xDFFF;
}

char32_t CombineSurrogates(XMLCh high, XMLCh low) {
  return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (low - 0xDC00);
}

void AppendCodePoint(char32_t codePoint, Utf16& out) {
  if (codePoint < 0x10000) {
    out.push_back(static_cast<XMLCh>(codePoint));
    return;
  }
  codePoint -= 0x10000;
  out.push_back(static_cast<XMLCh>(0xD800 + (codePoint >> 10)));
  out.push_back(static_cast<XMLCh>(0xDC00 + (codePoint & 0x3FF)));
}

// A character without a form: '?' or an XML character reference.
void AppendUnmapped(const XMLCh* text, std::size_t units, GbkCodec::Unmapped unmapped,
                    std::string& out) {
  if (unmapped == GbkCodec::Unmapped::kQuestionMark) {
    out.push_back('?');
    return;
  }
  const char32_t codePoint = units == 2 ? CombineSurrogates(text[0], text[1]) : text[0];
  char reference[16];
  std::snprintf(reference, sizeof reference, "&#x%X;", static_cast<unsigned>(codePoint));
  out += reference;
}

}  // namespace

GbkCodec::GbkCodec() {
  for (const XMLCh* name : kGbkNames) {
    xercesc::XMLTransService::Codes result;
    transcoder_.reset(xercesc::XMLPlatformUtils::fgTransService->makeNewTranscoderFor(
        name, result, kChunk, xercesc::XMLPlatformUtils::fgMemoryManager));
    if (transcoder_) {
      encoding_name_ = name;
      return;
    }
  }
}

GbkCodec::~GbkCodec() = default;

bool GbkCodec::NeedsFourBytes(char32_t codePoint, unsigned char bytes[4]) {
  if (codePoint < 0x80 || !EncodeFourByteSequence(codePoint, bytes)) return false;
  // A few characters have both forms (0xFF and a private-use character, for
  // one); code page 936's own form wins, as Windows writes it.
  return codePoint >= 0x10000 || !transcoder_ || !transcoder_->canTranscodeTo(codePoint);
}

std::size_t GbkCodec::DecodeTwoByteRun(const char* bytes, std::size_t size, Utf16& out) {
  if (!transcoder_) {
    std::size_t i = 0;
    for (; i < size && static_cast<unsigned char>(bytes[i]) < 0x80; ++i) out.push_back(bytes[i]);
    return i;
  }
  std::vector<XMLCh> buffer(std::min(size, kChunk));
  std::vector<unsigned char> sizes(buffer.size());
  auto next = reinterpret_cast<const XMLByte*>(bytes);
  std::size_t left = size;
  // Some transcoders (the Windows one) throw at a byte sequence they cannot
  // take instead of stopping before it; from then on go one character at a
  // time, so that the bad spot is found like a stop.
  XMLSize_t step = buffer.size();
  while (left > 0) {
    XMLSize_t eaten = 0;
    XMLSize_t made = 0;
    try {
      made = transcoder_->transcodeFrom(next, left, buffer.data(), step, eaten, sizes.data());
    } catch (const xercesc::TranscodingException&) {
      made = eaten = 0;
      if (step > 1) {
        step = 1;
        continue;
      }
    }
    out.append(buffer.data(), made);
    if (eaten == 0) break;  // a character the code page does not have
    next += eaten;
    left -= eaten;
  }
  return size - left;
}

std::size_t GbkCodec::DecodeValid(std::string_view gbk, Utf16& out) {
  if (IsAscii(gbk)) {
    out.append(gbk.begin(), gbk.end());
    return gbk.size();
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(gbk.data());
  const std::size_t size = gbk.size();
  std::size_t i = 0;
  while (i < size) {
    // Whole one- and two-byte characters go to the code page as one run; a
    // four-byte sequence or a broken character ends the run.
    std::size_t end = i;
    while (end < size) {
      if (!IsLeadByte(bytes[end])) {
        ++end;
      } else if (end + 1 < size && IsTrailByte(bytes[end + 1])) {
        end += 2;
      } else {
        break;
      }
    }
    if (end > i) {
      i += DecodeTwoByteRun(gbk.data() + i, end - i, out);
      if (i < end) return i;  // a character the code page does not have
      if (i == size) break;
    }
    char32_t codePoint = 0;
    unsigned char unused[4];
    if (size - i < 4 || !DecodeFourByteSequence(bytes + i, codePoint) ||
        !NeedsFourBytes(codePoint, unused))
      return i;
    AppendCodePoint(codePoint, out);
    i += 4;
  }
  return size;
}

Utf16 GbkCodec::Decode(std::string_view gbk) {
  Utf16 out;
  out.reserve(gbk.size());
  for (;;) {
    const std::size_t taken = DecodeValid(gbk, out);
    if (taken == gbk.size()) return out;
    out.push_back(kReplacement);  // skip one byte and go on
    gbk.remove_prefix(taken + 1);
  }
}

bool GbkCodec::DecodeExact(std::string_view gbk, Utf16& out) {
  out.clear();
  if (DecodeValid(gbk, out) != gbk.size()) return false;
  return IsAscii(gbk) || Encode(out.data(), out.size()) == gbk;
}

void GbkCodec::EncodeTwoByteRun(const XMLCh* text, std::size_t length, Unmapped unmapped,
                                std::string& out) {
  if (length == 0) return;
  std::vector<XMLByte> buffer(std::min(length, kChunk) * 2);
  std::size_t i = 0;
  // Tried is how many characters the next call gets: halved after a call
  // threw at a character without a form, so that the character is found in
  // a few calls; back to all after it is passed.
  std::size_t tried = length;
  while (i < length) {
    std::size_t count = std::min(tried, length - i);
    if (count == 1 && IsSurrogatePair(text + i, length - i)) count = 2;
    XMLSize_t eaten = 0;
    XMLSize_t made = 0;
    bool threw = !transcoder_;
    if (transcoder_) {
      try {
        made = transcoder_->transcodeTo(text + i, count, buffer.data(), buffer.size(), eaten,
                                        xercesc::XMLTranscoder::UnRep_Throw);
      } catch (const xercesc::TranscodingException&) {
        threw = true;
      }
    }
    if (threw && count > 1 && !(count == 2 && IsSurrogatePair(text + i, 2))) {
      tried = count / 2;
      continue;
    }
    if (threw || eaten == 0) {
      eaten = std::min<std::size_t>(count, IsSurrogatePair(text + i, length - i) ? 2 : 1);
      if (!threw && text[i] < 0x80) {
        out.push_back(static_cast<char>(text[i]));
      } else {
        AppendUnmapped(text + i, eaten, unmapped, out);
      }
      tried = length;
    } else {
      out.append(reinterpret_cast<const char*>(buffer.data()), made);
    }
    i += eaten;
  }
}

std::string GbkCodec::Encode(const XMLCh* text, std::size_t length, Unmapped unmapped) {
  std::string out;
  out.reserve(length);
  std::size_t i = 0;
  while (i < length && text[i] < 0x80) out.push_back(static_cast<char>(text[i++]));
  std::size_t runStart = i;
  unsigned char fourBytes[4];
  while (i < length) {
    if (text[i] < 0x80) {
      ++i;
      continue;
    }
    const bool pair = IsSurrogatePair(text + i, length - i);
    const char32_t codePoint = pair ? CombineSurrogates(text[i], text[i + 1]) : text[i];
    const std::size_t units = pair ? 2 : 1;
    if (NeedsFourBytes(codePoint, fourBytes)) {
      EncodeTwoByteRun(text + runStart, i - runStart, unmapped, out);
      out.append(reinterpret_cast<const char*>(fourBytes), 4);
      runStart = i + units;
    }
    i += units;
  }
  EncodeTwoByteRun(text + runStart, length - runStart, unmapped, out);
  return out;
}

std::string GbkCodec::Encode(const XMLCh* text) {
  return text ? Encode(text, xercesc::XMLString::stringLen(text)) : std::string();
}

bool GbkCodec::CanEncode(const XMLCh* text) {
  const XMLCh* c = text;
  while (c && *c && *c < 0x80) ++c;
  if (c == nullptr || *c == 0) return true;
  const std::size_t length = xercesc::XMLString::stringLen(text);
  return Decode(Encode(text, length)) == Utf16(text, length);
}

bool IsXmlText(const Utf16& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const XMLCh c = text[i];
    if (c < 0x20) {
      if (c != 0x9 && c != 0xA && c != 0xD) return false;
    } else if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if ((c >= 0xDC00 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF) {
      return false;
    }
  }
  return true;
}

bool StorableAttribute(GbkCodec& codec, const char* name, const char* value, Utf16& nameOut,
                       Utf16& valueOut) {
  return codec.DecodeExact(name ? name : "", nameOut) &&
         codec.DecodeExact(value ? value : "", valueOut) && IsXmlText(valueOut);
}

}  // namespace dezov
