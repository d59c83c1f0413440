// SPDX-License-Identifier: MIT
// Text conversion through the Windows code-page functions, by way of UTF-16.
#ifdef _WIN32
#include <windows.h>

#include <cstdlib>

#include "Transcoder.h"

namespace dezov {
namespace tool {
namespace {

// The code page behind an encoding name: "UTF-8", "GBK", or "CP<number>".
UINT CodePageOf(const std::string& name) {
  if (name == "UTF-8") return CP_UTF8;
  if (name == "GBK") return 936;
  if (name.size() > 2 && name.compare(0, 2, "CP") == 0)
    return static_cast<UINT>(std::strtoul(name.c_str() + 2, nullptr, 10));
  return 0;
}

bool ToWide(UINT page, const std::string& text, std::wstring& wide) {
  if (text.empty()) return true;
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length <= 0) return false;
  wide.assign(static_cast<std::size_t>(length), L'\0');
  return MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.data(), size, &wide[0], length) ==
         length;
}

bool FromWide(UINT page, const std::wstring& wide, std::string& text) {
  if (wide.empty()) return true;
  const int size = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  // UTF-8 refuses the best-fit flag and the default-character report.
  const DWORD flags = page == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL* defaultUsed = page == CP_UTF8 ? nullptr : &usedDefault;
  const int length =
      WideCharToMultiByte(page, flags, wide.data(), size, nullptr, 0, nullptr, defaultUsed);
  if (length <= 0 || usedDefault) return false;
  text.assign(static_cast<std::size_t>(length), '\0');
  return WideCharToMultiByte(page, flags, wide.data(), size, &text[0], length, nullptr,
                             defaultUsed) == length &&
         !usedDefault;
}

}  // namespace

Transcoded Transcode(const std::string& from, const std::string& to, const std::string& text) {
  Transcoded result;
  const UINT fromPage = CodePageOf(from);
  const UINT toPage = CodePageOf(to);
  if (fromPage == 0 || toPage == 0 || !IsValidCodePage(fromPage) || !IsValidCodePage(toPage)) {
    result.unsupported = true;
    return result;
  }
  std::wstring wide;
  if (!ToWide(fromPage, text, wide) || !FromWide(toPage, wide, result.text)) {
    result.text.clear();
    return result;
  }
  result.ok = true;
  return result;
}

std::string TerminalCodeset() { return "CP" + std::to_string(GetACP()); }

}  // namespace tool
}  // namespace dezov
#endif  // _WIN32
