// Conversion between GBK (code page 936), the encoding of every narrow string
// crossing the XML store's interface, and the XML library's UTF-16. Never
// depends on the process locale.
#ifndef DEZOV20_XMLINI_GBK_CODEC_H
#define DEZOV20_XMLINI_GBK_CODEC_H

#include <xercesc/util/TransService.hpp>

#include <memory>
#include <string>
#include <string_view>

namespace dezov {

using Utf16 = std::basic_string<XMLCh>;

class GbkCodec {
 public:
  // Needs the XML library started; dies before it is stopped.
  GbkCodec();
  GbkCodec(const GbkCodec&) = delete;
  GbkCodec& operator=(const GbkCodec&) = delete;
  ~GbkCodec();

  // GBK bytes to UTF-16; bytes that are not GBK become U+FFFD.
  Utf16 Decode(std::string_view gbk);
  // As Decode, but false when the bytes are not exactly representable
  // (invalid GBK, or text that would not convert back to the same bytes).
  bool DecodeExact(std::string_view gbk, Utf16& out);
  // UTF-16 to GBK; characters outside GBK become '?'.
  std::string Encode(const XMLCh* text, std::size_t length);
  // As Encode for a NUL-terminated text (null gives "").
  std::string Encode(const XMLCh* text);
  // True when every character of the text has a GBK form.
  bool CanEncode(const XMLCh* text);
  // The name under which the transcoding service knows GBK ("" if it does not).
  const XMLCh* encodingName() const { return encoding_name_; }

 private:
  std::unique_ptr<xercesc::XMLTranscoder> transcoder_;
  const XMLCh* encoding_name_ = u"";
};

// True when every byte is below 0x80.
bool IsAscii(std::string_view text);

// True when XML 1.0 can carry the text as character data: no control
// characters other than tab, line feed and carriage return, no lone
// surrogates, no U+FFFE or U+FFFF.
bool IsXmlText(const Utf16& text);

// The UTF-16 forms of an attribute's name and value; false when either is not
// exact GBK or the value is text XML cannot carry, so nothing may be stored.
bool StorableAttribute(GbkCodec& codec, const char* name, const char* value, Utf16& nameOut,
                       Utf16& valueOut);

}  // namespace dezov

#endif  // DEZOV20_XMLINI_GBK_CODEC_H
