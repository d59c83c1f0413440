// SPDX-License-Identifier: MIT
// Locale-independent number reading and writing: the host program may set any
// locale, and stored files must read the same everywhere.
#ifndef DEZOV20_TEXT_NUMBERS_H
#define DEZOV20_TEXT_NUMBERS_H

#include <string>

namespace dezov {

// atol in the C locale: leading white space, optional sign, decimal digits up
// to the first other byte; 0 without digits; saturates instead of overflowing.
long ParseLong(const char* text);

// atof in the C locale ('.' decimal point); 0.0 when the text holds no number.
double ParseDouble(const char* text);

// "%li" of value.
std::string FormatLong(long value);

// "%f" of value in the C locale: fixed notation, six decimals, never cut.
std::string FormatFixed(double value);

}  // namespace dezov

#endif  // DEZOV20_TEXT_NUMBERS_H
