// SPDX-License-Identifier: MIT
#include "Numbers.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include "TextUtil.h"

namespace dezov {
namespace {

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* SkipSpace(const char* text) {
  while (IsCSpace(*text)) ++text;
  return text;
}

bool StartsWithHexPrefix(const char* text) {
  return text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

}  // namespace

long ParseLong(const char* text) {
  const char* p = SkipSpace(OrEmpty(text));
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  unsigned long magnitude = 0;
  const unsigned long limit =
      negative ? static_cast<unsigned long>(LONG_MAX) + 1UL : static_cast<unsigned long>(LONG_MAX);
  bool saturated = false;
  for (; *p >= '0' && *p <= '9'; ++p) {
    const unsigned digit = static_cast<unsigned>(*p - '0');
    if (saturated || magnitude > (limit - digit) / 10) {
      saturated = true;
      continue;
    }
    magnitude = magnitude * 10 + digit;
  }
  if (saturated) return negative ? LONG_MIN : LONG_MAX;
  if (negative) return magnitude == limit ? LONG_MIN : -static_cast<long>(magnitude);
  return static_cast<long>(magnitude);
}

double ParseDouble(const char* text) {
  const char* p = SkipSpace(OrEmpty(text));
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  if (*p == '+' || *p == '-') return 0.0;
  const char* end = p + std::strlen(p);
  double value = 0.0;
  std::from_chars_result result{};
  if (StartsWithHexPrefix(p)) {
    result = std::from_chars(p + 2, end, value, std::chars_format::hex);
    if (result.ec == std::errc::invalid_argument) return 0.0;  // "0x" alone reads 0
  } else {
    result = std::from_chars(p, end, value, std::chars_format::general);
  }
  if (result.ec == std::errc::result_out_of_range) {
    // Overflow gives HUGE_VAL like atof; an underflow (negative exponent) gives 0.
    const char* exponent = std::strpbrk(p, StartsWithHexPrefix(p) ? "pP" : "eE");
    const bool tiny = exponent != nullptr && exponent[1] == '-';
    value = tiny ? 0.0 : HUGE_VAL;
  } else if (result.ec != std::errc()) {
    return 0.0;
  }
  return negative ? -value : value;
}

std::string FormatLong(long value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string FormatFixed(double value) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[400];  // DBL_MAX in fixed notation with six decimals is 316 bytes
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  return std::string(buffer, result.ptr);
}

}  // namespace dezov
