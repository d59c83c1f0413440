// SPDX-License-Identifier: MIT
// Small string helpers shared by the stores, the resolver and the tool:
// formatting, splitting at a delimiter, string-id file names, and the one rule
// by which names match (A-Z ignoring case, equal lengths).
#ifndef DEZOV20_TEXT_TEXT_UTIL_H
#define DEZOV20_TEXT_TEXT_UTIL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dezov {

// Longest text FormatString keeps: the capacity of the sixth and last of the
// growing attempts the stores were first written with (2048 + 4096 + ... +
// 12288); stored files and callers may rely on texts being cut there.
constexpr std::size_t kFormatLimit = 43008;

// Replaces target with the printf-style formatted text, cut at kFormatLimit.
void FormatString(std::string& target, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Appends the pieces of text (up to its NUL; null reads as "") cut at
// delimiter. Every delimiter ends a piece, empty ones included; a non-empty
// rest is the last piece, so a trailing delimiter adds nothing.
void SplitString(const char* text, char delimiter, std::vector<std::string>& pieces);

// True when source is a string id (pointer value 1..65535): target then holds
// the host's text for it, or is left unchanged when the host has no such block.
bool LoadResourceText(std::string& target, const char* source);

// A null text read as the empty one.
inline const char* OrEmpty(const char* text) { return text ? text : ""; }

// True when every byte is below 0x80: such text reads the same in every
// encoding in use (GBK, UTF-8, UTF-16 units).
inline bool IsAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// --- Names ---------------------------------------------------------------
// Element, attribute, section and key names match when they have the same
// length and their bytes are equal after FoldAscii. Every comparison, every
// index key and every hash of a name is built from FoldAscii below.

// Case folding of one code unit (a byte, or a UTF-16 unit): A-Z to a-z, every
// other value unchanged, so that bytes of multi-byte characters never fold.
template <class Unit>
constexpr Unit FoldAscii(Unit c) {
  return (c >= Unit('A') && c <= Unit('Z')) ? static_cast<Unit>(c + ('a' - 'A')) : c;
}

// The names match: equal lengths, equal bytes after FoldAscii.
inline bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(static_cast<unsigned char>(a[i])) != FoldAscii(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// The name with every byte folded: equal exactly when NamesEqual holds.
inline std::string FoldName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
  return folded;
}

// FNV-1a over the folded bytes: names that match hash alike.
inline std::size_t NameHash(std::string_view name) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : name) {
    hash ^= FoldAscii(static_cast<unsigned char>(c));
    hash *= 1099511628211ull;
  }
  return static_cast<std::size_t>(hash ^ (hash >> 29));
}

// What a comparison of wide code units with a name found while the units were
// ASCII (below 0x80, the same values as their bytes in every encoding in use).
enum class AsciiMatch { kEqual, kDifferent, kUndecided };

// Compares the NUL-terminated units with name under the same rule as
// NamesEqual, without converting them; kUndecided once a unit of 0x80 or above
// is met, and the caller must compare the converted text instead.
template <class Unit>
AsciiMatch MatchAsciiUnits(const Unit* units, std::string_view name) {
  std::size_t i = 0;
  for (; i < name.size(); ++i) {
    const Unit c = units[i];
    if (c == 0) return AsciiMatch::kDifferent;
    if (c >= 0x80) return AsciiMatch::kUndecided;
    if (FoldAscii(c) != static_cast<Unit>(FoldAscii(static_cast<unsigned char>(name[i]))))
      return AsciiMatch::kDifferent;
  }
  // Every unit so far was one byte of the converted text, so any further unit
  // makes that text longer than name.
  return units[i] == 0 ? AsciiMatch::kEqual : AsciiMatch::kDifferent;
}

// FoldName of the NUL-terminated units, into folded, while they are all ASCII;
// false (folded unspecified) when a unit of 0x80 or above is met.
template <class Unit>
bool FoldAsciiUnits(const Unit* units, std::string& folded) {
  folded.clear();
  for (const Unit* c = units; *c; ++c) {
    if (*c >= 0x80) return false;
    folded.push_back(static_cast<char>(FoldAscii(*c)));
  }
  return true;
}

}  // namespace dezov

#endif  // DEZOV20_TEXT_TEXT_UTIL_H
