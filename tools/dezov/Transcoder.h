// SPDX-License-Identifier: MIT
// Conversion of text between two named encodings, and the name of the
// encoding the user's terminal speaks. One implementation per platform.
#ifndef DEZOV_TOOL_TRANSCODER_H
#define DEZOV_TOOL_TRANSCODER_H

#include <cstddef>
#include <string>

namespace dezov {
namespace tool {

// What a conversion produced, or where it stopped.
struct Transcoded {
  bool ok = false;
  bool unsupported = false;           // the platform cannot convert between the two
  std::size_t badOffset = std::string::npos;  // first input byte that failed, when known
  std::string text;                   // the converted text when ok
};

// Converts text from the encoding `from` to the encoding `to`. Names are
// "UTF-8", "GBK", or what TerminalCodeset returned. Never replaces or drops
// characters: anything that does not convert exactly is a failure.
Transcoded Transcode(const std::string& from, const std::string& to, const std::string& text);

// The encoding of the terminal as the process locale describes it; call after
// setlocale(LC_ALL, ""). The plain C locale is taken to mean UTF-8.
std::string TerminalCodeset();

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_TRANSCODER_H
