// SPDX-License-Identifier: MIT
// Conversion between GBK (code page 936), the encoding of every narrow string
// crossing the XML store's interface and of the files, and the XML library's
// UTF-16. Characters code page 936 lacks take their GB18030 four-byte form, so
// that such sequences (as Chinese tools on Linux write them) read and write
// back unchanged. Never depends on the process locale.
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

  // What Encode writes for a character that has no form.
  enum class Unmapped { kQuestionMark, kCharacterReference };

  // GBK bytes to UTF-16; bytes that are not GBK become U+FFFD.
  Utf16 Decode(std::string_view gbk);
  // Decodes gbk up to its first byte sequence that is not GBK and returns the
  // number of bytes taken (gbk.size() when all of it is valid).
  std::size_t DecodeValid(std::string_view gbk, Utf16& out);
  // As Decode, but false when the bytes are not exactly representable
  // (invalid GBK, or text that would not convert back to the same bytes).
  bool DecodeExact(std::string_view gbk, Utf16& out);
  // UTF-16 to GBK; a character without a form becomes '?', or for
  // kCharacterReference the XML reference "&#xHEX;".
  std::string Encode(const XMLCh* text, std::size_t length,
                     Unmapped unmapped = Unmapped::kQuestionMark);
  // As Encode for a NUL-terminated text (null gives "").
  std::string Encode(const XMLCh* text);
  // True when every character of the text has a GBK form.
  bool CanEncode(const XMLCh* text);
  // The name under which the transcoding service knows GBK ("" if it does not).
  const XMLCh* encodingName() const { return encoding_name_; }

 private:
  std::size_t DecodeTwoByteRun(const char* bytes, std::size_t size, Utf16& out);
  void EncodeTwoByteRun(const XMLCh* text, std::size_t length, Unmapped unmapped,
                        std::string& out);
  bool NeedsFourBytes(char32_t codePoint, unsigned char bytes[4]);

  std::unique_ptr<xercesc::XMLTranscoder> transcoder_;  // code page 936 itself
  const XMLCh* encoding_name_ = u"";
};

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
