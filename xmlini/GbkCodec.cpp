#include "GbkCodec.h"

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TranscodingException.hpp>
#include <xercesc/util/XMLString.hpp>

#include <vector>

namespace dezov {
namespace {

constexpr XMLCh kReplacement = 0xFFFD;
constexpr std::size_t kChunk = 4096;

// Names under which the transcoding services know code page 936.
const XMLCh* const kGbkNames[] = {u"windows-936", u"GBK", u"CP936", u"MS936", u"gb2312"};

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

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

Utf16 GbkCodec::Decode(std::string_view gbk) {
  Utf16 out;
  if (IsAscii(gbk) || !transcoder_) {
    out.reserve(gbk.size());
    for (char c : gbk) {
      const auto byte = static_cast<unsigned char>(c);
      out.push_back(byte < 0x80 ? static_cast<XMLCh>(byte) : kReplacement);
    }
    return out;
  }
  std::vector<XMLCh> buffer(kChunk);
  std::vector<unsigned char> sizes(kChunk);
  auto next = reinterpret_cast<const XMLByte*>(gbk.data());
  std::size_t left = gbk.size();
  // Some transcoders (the Windows one) throw at a byte sequence they cannot
  // take instead of stopping before it; from then on go one character at a
  // time, so that the bad spot is found and replaced like a stop.
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
    if (eaten == 0) {  // a byte the converter cannot take: skip it
      out.push_back(kReplacement);
      eaten = 1;
    }
    next += eaten;
    left -= eaten;
  }
  return out;
}

bool GbkCodec::DecodeExact(std::string_view gbk, Utf16& out) {
  out = Decode(gbk);
  if (IsAscii(gbk)) return true;
  for (XMLCh c : out)
    if (c == kReplacement) return false;
  return Encode(out.data(), out.size()) == gbk;
}

std::string GbkCodec::Encode(const XMLCh* text, std::size_t length) {
  std::string out;
  out.reserve(length);
  std::size_t i = 0;
  while (i < length && text[i] < 0x80) out.push_back(static_cast<char>(text[i++]));
  if (i == length) return out;
  if (!transcoder_) {
    for (; i < length; ++i) out.push_back(text[i] < 0x80 ? static_cast<char>(text[i]) : '?');
    return out;
  }
  std::vector<XMLByte> buffer(kChunk * 2);
  while (i < length) {
    XMLSize_t eaten = 0;
    const XMLSize_t made = transcoder_->transcodeTo(text + i, length - i, buffer.data(),
                                                    buffer.size(), eaten,
                                                    xercesc::XMLTranscoder::UnRep_RepChar);
    out.append(reinterpret_cast<const char*>(buffer.data()), made);
    if (eaten == 0) {
      out.push_back('?');
      eaten = 1;
    }
    i += eaten;
  }
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
