// SPDX-License-Identifier: MIT
// The four-byte sequences of GB18030: the characters code page 936 has no
// two-byte form for, as Chinese tools on Linux write them. A sequence is
// b1 b2 b3 b4 with b1 and b3 in 0x81-0xFE and b2 and b4 in 0x30-0x39; its
// number (b1, b2, b3, b4 read as digits of bases 126, 10, 126, 10) maps to a
// code point: numbers below 39420 to the BMP through a table of ranges,
// numbers from 189000 to the supplementary planes in order.
#ifndef DEZOV20_XMLINI_GB18030_FOUR_BYTE_H
#define DEZOV20_XMLINI_GB18030_FOUR_BYTE_H

#include <cstddef>
#include <cstdint>

namespace dezov {

// True when bytes b1 b2 open a four-byte sequence (the rest still unchecked).
inline bool OpensFourByteSequence(unsigned char b1, unsigned char b2) {
  return b1 >= 0x81 && b1 <= 0xFE && b2 >= 0x30 && b2 <= 0x39;
}

// The code point of the four bytes at bytes; false when they are no
// four-byte sequence or one that names no character.
bool DecodeFourByteSequence(const unsigned char* bytes, char32_t& codePoint);

// The four bytes of codePoint; false when GB18030 gives it no four-byte form
// (ASCII, characters of the two-byte table, surrogates, beyond U+10FFFF).
bool EncodeFourByteSequence(char32_t codePoint, unsigned char bytes[4]);

}  // namespace dezov

#endif  // DEZOV20_XMLINI_GB18030_FOUR_BYTE_H
