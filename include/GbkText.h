// SPDX-License-Identifier: MIT
// The library's one rule between its text and UTF-8. Every narrow string of the
// stores is GBK: code page 936 (whose single byte 0x80 is the euro sign), with
// the GB18030 four-byte form for every character code page 936 lacks. Both
// directions are exact: nothing is replaced or dropped, so UTF-8 converted to
// GBK and back is the same text, and GBK bytes converted to UTF-8 and back are
// the same bytes. Independent of the process locale.
#ifndef DEZOV20_GBK_TEXT_H
#define DEZOV20_GBK_TEXT_H

#include <string>

#include "DeZov20Export.h"

namespace dezov {

// GBK (code page 936, 0x80 = euro sign) with GB18030 four-byte forms for what
// GBK lacks, to UTF-8. False with reason naming the byte offset of the first
// sequence that is neither (utf8 is then unspecified).
DEZOV20_API bool GbkToUtf8(const std::string& gbk, std::string& utf8, std::string& reason);

// UTF-8 to GBK, using GB18030 four-byte forms for characters GBK lacks; false
// with the byte offset of invalid UTF-8 (overlong forms and surrogates are
// invalid), or of a character with no form, in reason (gbk then unspecified).
DEZOV20_API bool Utf8ToGbk(const std::string& utf8, std::string& gbk, std::string& reason);

}  // namespace dezov

#endif  // DEZOV20_GBK_TEXT_H
