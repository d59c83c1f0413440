// Small string helpers shared by the three stores: formatting, splitting at a
// delimiter, assignment from a possibly-null pointer, string-id file names and
// the case-insensitive (A-Z only) name comparison every store uses.
#ifndef DEZOV20_TEXT_TEXT_UTIL_H
#define DEZOV20_TEXT_TEXT_UTIL_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dezov {

// Longest text FormatString keeps; longer results are cut there.
constexpr std::size_t kFormatLimit = 43008;

// Replaces target with the printf-style formatted text, cut at kFormatLimit.
void FormatString(std::string& target, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Appends the pieces of text cut at delimiter to pieces. Every delimiter ends a
// piece (empty ones included); a non-empty rest is the last piece; a NUL within
// the first `length` bytes stops everything. length -1 means up to the NUL.
void SplitString(const char* text, char delimiter, std::vector<std::string>& pieces,
                 int length = -1);

// target = source, or "" for a null source; source may point into target.
void AssignText(std::string& target, const char* source);

// True when source is a string id (pointer value 1..65535): target then holds
// the host's text for it, or is left unchanged when the host has no such block.
bool LoadResourceText(std::string& target, const char* source);

// A null text read as the empty one.
inline const char* OrEmpty(const char* text) { return text ? text : ""; }

// ASCII-only case folding of one byte (A-Z to a-z; every other byte unchanged).
inline unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Names are equal ignoring the case of A-Z, with equal lengths.
bool NamesEqual(std::string_view a, std::string_view b);

// The name with A-Z folded to a-z: equal keys exactly when NamesEqual holds.
std::string FoldName(std::string_view name);

}  // namespace dezov

#endif  // DEZOV20_TEXT_TEXT_UTIL_H
